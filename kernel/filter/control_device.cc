// The control device's request processor: the 18 control codes, reached as IRP_MJ_DEVICE_CONTROL or through fast
// I/O, one request at a time. Every request's input is copied in first (the caller's memory is touched only
// under an exception handler) and every buffer length is checked before it is used; a code outside the table
// fails with STATUS_INVALID_PARAMETER.
#include "morvel_ioctl.h"
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

constexpr uint32_t CodeOf(ULONG function, ULONG access) {
  return CTL_CODE(FILE_DEVICE_DISK_FILE_SYSTEM, function, METHOD_BUFFERED, access);
}
static_assert(kStorePath == CodeOf(0, FILE_WRITE_ACCESS) && kMorvelStart == CodeOf(1, FILE_READ_ACCESS) &&
              kNoOperation2 == CodeOf(2, FILE_READ_ACCESS) && kMorvelSetFKn == CodeOf(3, FILE_WRITE_ACCESS) &&
              kMorvelGetSn == CodeOf(4, FILE_READ_ACCESS) && kMorvelGetFKn == CodeOf(5, FILE_READ_ACCESS) &&
              kGetStats == CodeOf(6, FILE_READ_ACCESS) && kEncryptData == CodeOf(7, FILE_READ_ACCESS) &&
              kDecryptData == CodeOf(8, FILE_READ_ACCESS) && kMorvelCheckFKn == CodeOf(9, FILE_READ_ACCESS) &&
              kNoOperation10 == CodeOf(10, FILE_WRITE_ACCESS) && kSetExclusion == CodeOf(11, FILE_WRITE_ACCESS) &&
              kRemoveExclusion == CodeOf(12, FILE_WRITE_ACCESS) && kSetInclusion == CodeOf(13, FILE_WRITE_ACCESS) &&
              kRemoveInclusion == CodeOf(14, FILE_WRITE_ACCESS) && kNoOperation15 == CodeOf(15, FILE_WRITE_ACCESS) &&
              kNoOperation16 == CodeOf(16, FILE_WRITE_ACCESS) && kChange == CodeOf(17, FILE_WRITE_ACCESS));

// The largest input copied in: two folder paths of the longest length a name can have, and their header.
constexpr ULONG kMaxInputLength = 256 * 1024;
constexpr ULONG kMaxReply = 32;

const char* LogLineOf(ULONG code) {
  switch (code) {
    case kMorvelStart: return "\nCalling MORVEL_Start";
    case kMorvelSetFKn: return "\nCalling MORVEL_SetFKn";
    case kMorvelGetSn: return "\nCalling MORVEL_GetSn";
    case kMorvelGetFKn: return "\nCalling MORVEL_GetFKn";
    case kGetStats: return "\nCalling GetStats";
    case kMorvelCheckFKn: return "\nCalling MORVEL_CheckFKn";
    case kSetExclusion: return "\nCalling SetExclusion";
    case kRemoveExclusion: return "\nCalling RemoveExclusion";
    case kSetInclusion: return "\nCalling SetInclusion";
    case kRemoveInclusion: return "\nCalling RemoveInclusion";
    case kChange: return "\nCalling Change ";
    case kStorePath: case kNoOperation2: case kEncryptData: case kDecryptData: case kNoOperation10:
    case kNoOperation15: case kNoOperation16: return nullptr;
    default: return "\nCalling default";
  }
}

NTSTATUS StorePath(const UCHAR* input, ULONG length) {
  if (input == nullptr || length == 0) return STATUS_SUCCESS;
  DriverState& state = State();
  if (state.stored_path_count >= 3) return STATUS_SUCCESS;  // later ones are ignored
  const SIZE_T bytes = (length + 8) / 8 * 8;
  auto* copy = static_cast<PCHAR>(ExAllocatePoolWithTag(NonPagedPool, bytes, kTagPath));
  if (copy == nullptr) return STATUS_NO_MEMORY;
  RtlCopyMemory(copy, input, length);
  copy[length] = '\0';
  const ULONG slot = state.stored_path_count++;
  state.stored_paths[slot] = copy;
  state.stored_path_lengths[slot] = length;
  if (slot == 0) DbgPrint("\nThe user sys file path = %s", copy);
  if (slot == 1) DbgPrint("\nThe user sys file short path = %s", copy);
  if (slot == 2) DbgPrint("\nThe system file path(%d) = %s", static_cast<int>(length), copy);
  return STATUS_SUCCESS;
}

LONG ReadS32(const UCHAR* bytes) {
  return static_cast<LONG>(static_cast<ULONG>(bytes[0]) | static_cast<ULONG>(bytes[1]) << 8 |
                           static_cast<ULONG>(bytes[2]) << 16 | static_cast<ULONG>(bytes[3]) << 24);
}

// The two paths of a rule-edit request, checked against the input: each length -1 or more, each present path
// followed by its NUL, all within the input.
bool SplitRuleEdit(const UCHAR* input, ULONG length, const WCHAR* paths[2], LONG lengths[2]) {
  if (input == nullptr || length < kRuleEditMinimumSize) return false;
  lengths[0] = ReadS32(input + kRuleEditFirstLengthOffset);
  lengths[1] = ReadS32(input + kRuleEditSecondLengthOffset);
  ULONGLONG offset = kRuleEditPathsOffset;
  for (int i = 0; i < 2; ++i) {
    if (lengths[i] < -1) return false;
    // A path of n characters takes n + 1 (its NUL); a length of -1 takes nothing.
    const ULONGLONG bytes = (static_cast<ULONGLONG>(static_cast<LONGLONG>(lengths[i]) + 1)) * sizeof(WCHAR);
    if (offset + bytes > length) return false;
    paths[i] = reinterpret_cast<const WCHAR*>(input + offset);
    if (lengths[i] >= 0 && paths[i][lengths[i]] != u'\0') return false;
    offset += bytes;
  }
  return true;
}

NTSTATUS EditRules(ULONG code, const UCHAR* input, ULONG length) {
  const WCHAR* paths[2];
  LONG lengths[2];
  if (!SplitRuleEdit(input, length, paths, lengths)) {
    if (code == kChange) DbgPrint("Error parameters!");
    return STATUS_INVALID_PARAMETER;
  }
  for (int i = 0; i < 2; ++i) {
    if (lengths[i] <= 0) continue;
    const ULONG path_length = static_cast<ULONG>(lengths[i]);
    switch (code) {
      case kSetExclusion:
      case kSetInclusion: {
        const NTSTATUS status = AddDir(paths[i], path_length, code == kSetInclusion);
        if (!NT_SUCCESS(status)) return status == STATUS_NO_MEMORY ? STATUS_NO_MEMORY : STATUS_INVALID_PARAMETER;
        break;
      }
      case kRemoveExclusion:
      case kRemoveInclusion:
        RemoveDir(paths[i], path_length, code == kRemoveInclusion);
        break;
      default:
        DbgPrint(i == 0 ? "To change %ws " : "\nTo change %ws ", paths[i]);
        ChangeDir(paths[i], path_length);
        break;
    }
  }
  return STATUS_SUCCESS;
}

// Serves a request on the copied input; small replies go to `reply`, data replies straight to `output`.
NTSTATUS Serve(ULONG code, const UCHAR* input, ULONG input_length, PVOID output, ULONG output_length, PUCHAR reply,
               ULONG_PTR* information) {
  DriverState& state = State();
  switch (code) {
    case kStorePath:
      return StorePath(input, input_length);
    case kMorvelStart:
      return KeyHeld() ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
    case kNoOperation2:
    case kNoOperation10:
    case kNoOperation15:
    case kNoOperation16:
      return STATUS_SUCCESS;
    case kMorvelSetFKn:
      if (input_length < kKeyUnwrapRequestSize || output_length < 1) return STATUS_INVALID_PARAMETER;
      *information = 1;
      return SetFileKey(input, reply);
    case kMorvelCheckFKn:
      if (input_length < kKeyUnwrapRequestSize || output_length < 1 || !KeyHeld()) return STATUS_INVALID_PARAMETER;
      *information = 1;
      return CheckFileKey(input, reply);
    case kMorvelGetSn:
      if (input_length < kSnSize || output_length < kSnSize || !KeyHeld()) return STATUS_INVALID_PARAMETER;
      *information = kSnSize;
      return MakeNextSn(input, reply);
    case kMorvelGetFKn:
      if (input_length < kKnSize || output_length < kFileKeySize || !KeyHeld()) return STATUS_INVALID_PARAMETER;
      *information = kFileKeySize;
      return MakeNextEfkn(input, reply);
    case kGetStats: {
      if (output_length < kStatsReplySize) return STATUS_INVALID_PARAMETER;
      const ULONG counters[2] = {state.failed_unwraps, state.flagged_attempts};
      RtlCopyMemory(reply + kStatsFailedUnwrapsOffset, &counters[0], sizeof(ULONG));
      RtlCopyMemory(reply + kStatsFlaggedAttemptsOffset, &counters[1], sizeof(ULONG));
      reply[kStatsKeyHeldOffset] = KeyHeld() ? 1 : 0;
      *information = kStatsReplySize;
      return STATUS_SUCCESS;
    }
    case kEncryptData:
    case kDecryptData:
      if (input_length < kDataRequestSize) return STATUS_INVALID_PARAMETER;
      return TransformData(input, code == kEncryptData, output, output_length, information);
    case kSetExclusion:
    case kRemoveExclusion:
    case kSetInclusion:
    case kRemoveInclusion:
    case kChange:
      return EditRules(code, input, input_length);
    default:
      return STATUS_INVALID_PARAMETER;
  }
}

bool ReplyIsSmall(ULONG code) { return code != kEncryptData && code != kDecryptData; }

}  // namespace

void ControlDeviceIoctl(PVOID input, ULONG input_length, PVOID output, ULONG output_length, ULONG code,
                        PIO_STATUS_BLOCK status) {
  status->Status = STATUS_SUCCESS;
  status->Information = 0;
  if (const char* line = LogLineOf(code)) DbgPrint("%s", line);

  ExAcquireFastMutex(&State().control_lock);
  PUCHAR copy = nullptr;
  volatile NTSTATUS result = STATUS_SUCCESS;
  if (input != nullptr && input_length != 0) {
    copy = input_length <= kMaxInputLength
               ? static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPool, input_length, kTagRequest))
               : nullptr;
    if (copy == nullptr) result = input_length <= kMaxInputLength ? STATUS_NO_MEMORY : STATUS_INVALID_PARAMETER;
    if (copy != nullptr) {
      XP_TRY {
        ProbeForRead(input, input_length, 1);
        RtlCopyMemory(copy, input, input_length);
      }
      XP_EXCEPT(raised) { result = raised; }
      XP_END_TRY
    }
  }
  UCHAR reply[kMaxReply] = {};
  ULONG_PTR information = 0;
  if (NT_SUCCESS(result)) {
    result = Serve(code, copy, copy != nullptr ? input_length : 0, output, output_length, reply, &information);
  }
  // A small reply goes out even with a failing status: a refused key still answers 0.
  if (ReplyIsSmall(code) && information != 0) {
    XP_TRY {
      ProbeForWrite(output, information, 1);
      RtlCopyMemory(output, reply, information);
    }
    XP_EXCEPT(raised) { result = raised; }
    XP_END_TRY
  }
  if (copy != nullptr) {
    RtlSecureZeroMemory(copy, input_length);
    ExFreePoolWithTag(copy, kTagRequest);
  }
  RtlSecureZeroMemory(reply, sizeof reply);
  ExReleaseFastMutex(&State().control_lock);
  status->Status = result;
  status->Information = information;
}

NTSTATUS DispatchControlDeviceRequest(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  IO_STATUS_BLOCK status{};
  PVOID buffer = irp->AssociatedIrp.SystemBuffer;
  ControlDeviceIoctl(buffer, stack->Parameters.DeviceIoControl.InputBufferLength, buffer,
                     stack->Parameters.DeviceIoControl.OutputBufferLength,
                     stack->Parameters.DeviceIoControl.IoControlCode, &status);
  return CompleteRequest(irp, status.Status, status.Information);
}

void FreeStoredPaths() {
  DriverState& state = State();
  for (ULONG i = 0; i < state.stored_path_count; ++i) {
    ExFreePoolWithTag(state.stored_paths[i], kTagPath);
    state.stored_paths[i] = nullptr;
    state.stored_path_lengths[i] = 0;
  }
  state.stored_path_count = 0;
}

}  // namespace tavik::morvel
