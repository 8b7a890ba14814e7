// The control requests that work with keys: installing the file key (unwrapped from EFKN under KN, or taken as
// the XCFK itself), checking a key answer, producing the next SN and EFKN for the key rotation, and the data
// requests. The key records come from the installed key as it was installed, for as long as the driver runs.
#include "key_format.h"
#include "morvel_ioctl.h"
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

bool AllZero(const UCHAR* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// XCFK candidate = efk decrypted as two blocks under the expanded kn.
void Unwrap(const UCHAR* kn, const UCHAR* efk, UCHAR candidate[kFileKeySize]) {
  UCHAR expanded[keys::kExpandedKnSize];
  keys::ExpandKn(kn, expanded);
  RtlCopyMemory(candidate, efk, kFileKeySize);
  KeyDecrypt(candidate, kFileKeySize, expanded);
  RtlSecureZeroMemory(expanded, sizeof expanded);
}

ULONG ReadU32(const UCHAR* bytes) {
  return static_cast<ULONG>(bytes[0]) | static_cast<ULONG>(bytes[1]) << 8 | static_cast<ULONG>(bytes[2]) << 16 |
         static_cast<ULONG>(bytes[3]) << 24;
}

}  // namespace

NTSTATUS SetFileKey(const UCHAR* request, PUCHAR reply) {
  const UCHAR* kn = request + kKeyUnwrapKnOffset;
  const UCHAR* efk = request + kKeyUnwrapEfkOffset;
  const bool flagged = request[kKeyUnwrapFlagOffset] != 0;
  // A held key is never replaced.
  if (KeyHeld()) {
    *reply = 1;
    return STATUS_SUCCESS;
  }
  DriverState& state = State();
  if (!AllZero(kn, kKnSize)) {
    UCHAR candidate[kFileKeySize];
    Unwrap(kn, efk, candidate);
    NTSTATUS status = STATUS_SUCCESS;
    if (!keys::IsValidXcfk(candidate)) {
      ++(flagged ? state.flagged_attempts : state.failed_unwraps);
      *reply = 0;
      DbgPrint("\nFKn or Kn error!");
    } else if (!InstallKey(candidate)) {
      *reply = 0;
      status = STATUS_INSUFFICIENT_RESOURCES;
    } else {
      *reply = 1;
      DbgPrint("\nCheck FKn past");
    }
    RtlSecureZeroMemory(candidate, sizeof candidate);
    return status;
  }
  // No kn: efk is the XCFK itself, which only a flagged request may hand over.
  if (flagged) ++state.flagged_attempts;
  if (flagged && keys::IsValidXcfk(efk)) {
    if (!InstallKey(efk)) {
      *reply = 0;
      return STATUS_INSUFFICIENT_RESOURCES;
    }
    *reply = 1;
    DbgPrint("\nCFK accepted!");
    return STATUS_SUCCESS;
  }
  *reply = 0;
  DbgPrint("\nCFK error!");
  return STATUS_INVALID_PARAMETER;
}

NTSTATUS CheckFileKey(const UCHAR* request, PUCHAR reply) {
  // The key bytes themselves stay out of the debugger log.
  DbgPrint("\nKn for checking CFK: ");
  DbgPrint("\nEFK to be checked: ");
  UCHAR candidate[kFileKeySize];
  UCHAR held[kFileKeySize];
  Unwrap(request + kKeyUnwrapKnOffset, request + kKeyUnwrapEfkOffset, candidate);
  DbgPrint("\nCFK to be checked: ");
  // The answer must open the key this driver holds, not just any validly wrapped key.
  const bool opens = CopyHeldKey(held) && keys::IsValidXcfk(candidate) &&
                     RtlEqualMemory(candidate, held, kFileKeySize);
  RtlSecureZeroMemory(candidate, sizeof candidate);
  RtlSecureZeroMemory(held, sizeof held);
  *reply = opens ? 1 : 0;
  DbgPrint(opens ? "\nCheck CFK past" : "\nFKn or Kn error!");
  return STATUS_SUCCESS;
}

NTSTATUS MakeNextSn(const UCHAR* sn, PUCHAR reply) {
  UCHAR held[kFileKeySize];
  if (!CopyHeldKey(held)) return STATUS_INVALID_PARAMETER;
  RtlCopyMemory(reply, sn, kSnSize);
  KeyEncrypt(reply, kSnSize, held);
  RtlSecureZeroMemory(held, sizeof held);
  return STATUS_SUCCESS;
}

NTSTATUS MakeNextEfkn(const UCHAR* kn, PUCHAR reply) {
  UCHAR expanded[keys::kExpandedKnSize];
  if (!CopyHeldKey(reply)) return STATUS_INVALID_PARAMETER;
  keys::ExpandKn(kn, expanded);
  KeyEncrypt(reply, kFileKeySize, expanded);
  RtlSecureZeroMemory(expanded, sizeof expanded);
  return STATUS_SUCCESS;
}

NTSTATUS TransformData(const UCHAR* request, bool encrypt, PVOID output, ULONG output_length,
                       ULONG_PTR* information) {
  const ULONG address = ReadU32(request + kDataAddressOffset);
  const ULONG length = ReadU32(request + kDataLengthOffset);
  const UCHAR* material = request + kDataKeyOffset;
  const ULONG mode = ReadU32(request + kDataModeOffset);
  if (output_length < length || (length != 0 && output == nullptr)) return STATUS_INVALID_PARAMETER;
  const bool file_data = (mode & (kDataModeXcfk | kDataModeExpandedKn | kDataModeRawKey)) == 0;
  // The file-data cipher runs only under the held key.
  if (file_data && !KeyHeld()) return STATUS_INVALID_PARAMETER;
  if (length == 0) {
    *information = 0;
    return STATUS_SUCCESS;
  }
  UCHAR key[kFileKeySize] = {};
  if ((mode & kDataModeXcfk) != 0) {
    keys::ExpandCfk(material, key);
  } else if ((mode & kDataModeExpandedKn) != 0) {
    keys::ExpandKn(material, key);
  } else if ((mode & kDataModeRawKey) != 0) {
    RtlCopyMemory(key, material, sizeof key);
  }
  volatile NTSTATUS status = STATUS_SUCCESS;
  const void* source = reinterpret_cast<const void*>(static_cast<ULONG_PTR>(address));
  auto* data = static_cast<PUCHAR>(output);
  XP_TRY {
    ProbeForRead(source, length, 1);
    ProbeForWrite(data, length, 1);
    RtlCopyMemory(data, source, length);
    if (file_data) {
      // One stream: whole blocks, then the tail.
      if (encrypt) {
        EncryptRange(data, length, 0, length);
      } else {
        DecryptRange(data, length, 0, length);
      }
    } else if (encrypt) {
      KeyEncrypt(data, length, key);
    } else {
      KeyDecrypt(data, length, key);
    }
  }
  XP_EXCEPT(raised) { status = raised; }
  XP_END_TRY
  RtlSecureZeroMemory(key, sizeof key);
  if (NT_SUCCESS(status)) *information = length;
  return status;
}

}  // namespace tavik::morvel
