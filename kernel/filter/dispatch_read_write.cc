// The encrypting I/O path. For a protected stream the disk holds the encrypted file format and everything above
// the file system holds plaintext: a non-cached read is decrypted in the caller's buffer after the file system
// filled it, and every non-cached write (the cache's paging writes and a program's unbuffered writes alike) goes
// down as an encrypted private copy, so the caller's pages never hold ciphertext. Cached and fast I/O pass
// untouched. A write past the end of a protected file is a size change too (size_change.cc).
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

constexpr LONGLONG kBlock = 16;

bool Aligned(LONGLONG value) { return value % kBlock == 0; }

LONGLONG RoundUpToBlock(LONGLONG value) { return (value + kBlock - 1) / kBlock * kBlock; }

PFSRTL_COMMON_FCB_HEADER HeaderOf(PFILE_OBJECT file) { return static_cast<PFSRTL_COMMON_FCB_HEADER>(file->FsContext); }

// The mark of the stream a request is for, when the request carries a stream header.
StreamMark* ProtectedStreamOf(PFILE_OBJECT file) {
  return file != nullptr && file->FsContext != nullptr ? MarkOf(file) : nullptr;
}

// Hangs an MDL for the caller's buffer on the request (released with the request), probed in the caller's mode.
NTSTATUS LockCallerBuffer(PIRP irp, ULONG length) {
  if (irp->MdlAddress != nullptr) return STATUS_SUCCESS;
  PMDL mdl = IoAllocateMdl(irp->UserBuffer, length, FALSE, TRUE, irp);
  if (mdl == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  volatile NTSTATUS status = STATUS_SUCCESS;
  XP_TRY { MmProbeAndLockPages(mdl, irp->RequestorMode, IoWriteAccess); }
  XP_EXCEPT(raised) { status = raised; }
  XP_END_TRY
  return status;
}

NTSTATUS DecryptingRead(FilterExtension* extension, PIRP irp, PFILE_OBJECT file, StreamMark* mark, LONGLONG offset,
                        ULONG length) {
  NTSTATUS status = ForwardAndWait(extension->lower, irp);
  if (!NT_SUCCESS(status) || irp->IoStatus.Information == 0) return status;
  auto* data = static_cast<PUCHAR>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority));
  if (data == nullptr) {
    irp->IoStatus.Status = STATUS_INSUFFICIENT_RESOURCES;
    irp->IoStatus.Information = 0;
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  const LONGLONG read = irp->IoStatus.Information < length ? irp->IoStatus.Information : length;
  LONGLONG end = offset + read;
  // Past the valid data length the file system hands out zeros of its own, which were never encrypted.
  const LONGLONG valid = RoundUpToBlock(HeaderOf(file)->ValidDataLength.QuadPart);
  if (valid < end) end = valid > offset ? valid : offset;
  DecryptRange(data, static_cast<SIZE_T>(end - offset), offset, mark->encoded_size);
  return status;
}

// Sends the write down with an encrypted copy of its data in place of the caller's, for a stream encoded for
// `encoded_size` bytes. The caller's data and the request's own buffer description are left as they were.
NTSTATUS EncryptingWrite(FilterExtension* extension, PIRP irp, LONGLONG offset, ULONG length,
                         LONGLONG encoded_size) {
  if (length == 0) {
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    return STATUS_SUCCESS;
  }
  auto fail = [irp](NTSTATUS status) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    return status;
  };
  // Only the write that ends the file may end inside a block.
  if (!Aligned(offset) || (!Aligned(offset + length) && offset + length < encoded_size)) {
    return fail(STATUS_INVALID_PARAMETER);
  }
  PUCHAR source = nullptr;
  if (irp->MdlAddress != nullptr) {
    source = static_cast<PUCHAR>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority));
    if (source == nullptr) {
      DbgPrint("\nNuboLockWriteMdlCommon:Can't map User Buffer(1)!");
      return fail(STATUS_INSUFFICIENT_RESOURCES);
    }
  }
  const SIZE_T bounce_size = length < PAGE_SIZE ? (length + 7) / 8 * 8 : (length + PAGE_SIZE - 1) / PAGE_SIZE * PAGE_SIZE;
  auto* bounce = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPool, bounce_size, kTagBuffer));
  if (bounce == nullptr) return fail(STATUS_INSUFFICIENT_RESOURCES);
  PMDL bounce_mdl = IoAllocateMdl(bounce, length, FALSE, FALSE, nullptr);
  if (bounce_mdl == nullptr) {
    ExFreePoolWithTag(bounce, kTagBuffer);
    return fail(STATUS_INSUFFICIENT_RESOURCES);
  }
  MmBuildMdlForNonPagedPool(bounce_mdl);

  volatile NTSTATUS status = STATUS_SUCCESS;
  if (source != nullptr) {
    RtlCopyMemory(bounce, source, length);
  } else {
    XP_TRY {
      if (irp->RequestorMode != KernelMode) ProbeForRead(irp->UserBuffer, length, 1);
      RtlCopyMemory(bounce, irp->UserBuffer, length);
    }
    XP_EXCEPT(raised) { status = raised; }
    XP_END_TRY
  }
  if (NT_SUCCESS(status) && !EncryptRange(bounce, length, offset, encoded_size)) status = STATUS_ACCESS_DENIED;
  if (NT_SUCCESS(status)) {
    PMDL caller_mdl = irp->MdlAddress;
    PVOID caller_buffer = irp->UserBuffer;
    irp->MdlAddress = bounce_mdl;
    irp->UserBuffer = bounce;
    status = ForwardAndWait(extension->lower, irp);
    irp->MdlAddress = caller_mdl;
    irp->UserBuffer = caller_buffer;
  } else {
    fail(status);
  }
  IoFreeMdl(bounce_mdl);
  ExFreePoolWithTag(bounce, kTagBuffer);
  return status;
}

NTSTATUS Complete(PIRP irp) {
  const NTSTATUS status = irp->IoStatus.Status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

}  // namespace

NTSTATUS DispatchRead(PDEVICE_OBJECT device, PIRP irp) {
  RequestScope in_flight;
  FilterExtension* extension = FilterOf(device);
  if (extension == nullptr) return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  StreamMark* mark = ProtectedStreamOf(stack->FileObject);
  const ULONG length = stack->Parameters.Read.Length;
  if ((irp->Flags & IRP_NOCACHE) == 0 || mark == nullptr || length == 0) return PassThrough(device, irp);
  const LONGLONG offset = stack->Parameters.Read.ByteOffset.QuadPart;
  if (!Aligned(offset) || !Aligned(length)) return CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);
  const NTSTATUS locked = LockCallerBuffer(irp, length);
  if (!NT_SUCCESS(locked)) return CompleteRequest(irp, locked, 0);
  DecryptingRead(extension, irp, stack->FileObject, mark, offset, length);
  return Complete(irp);
}

NTSTATUS DispatchWrite(PDEVICE_OBJECT device, PIRP irp) {
  RequestScope in_flight;
  FilterExtension* extension = FilterOf(device);
  if (extension == nullptr) return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  PFILE_OBJECT file = stack->FileObject;
  StreamMark* mark = ProtectedStreamOf(file);
  if (mark == nullptr) return PassThrough(device, irp);
  const ULONG length = stack->Parameters.Write.Length;
  const LONGLONG file_size = HeaderOf(file)->FileSize.QuadPart;

  if ((irp->Flags & IRP_PAGING_IO) != 0) {
    // Paging writes never change the size: they encode for the size the file has.
    EncryptingWrite(extension, irp, stack->Parameters.Write.ByteOffset.QuadPart, length, file_size);
    return Complete(irp);
  }

  const LARGE_INTEGER requested = stack->Parameters.Write.ByteOffset;
  const bool at_end = requested.HighPart == -1 && requested.LowPart == FILE_WRITE_TO_END_OF_FILE;
  const LONGLONG offset = at_end ? file_size : requested.QuadPart;
  const LONGLONG end = offset + length;
  const bool extends = length != 0 && end > file_size;
  const bool unbuffered = (irp->Flags & IRP_NOCACHE) != 0;
  if (!extends && !unbuffered) return PassThrough(device, irp);
  SizeChange change;
  if (extends) {
    const NTSTATUS prepared = PrepareSizeChange(extension, file, mark, end, &change);
    if (!NT_SUCCESS(prepared)) return CompleteRequest(irp, prepared, 0);
  }
  if (unbuffered) {
    // An unbuffered write: its data is encoded for the size the file will have after it.
    EncryptingWrite(extension, irp, offset, length, extends ? end : file_size);
  } else {
    ForwardAndWait(extension->lower, irp);
  }
  if (extends) FinishSizeChange(extension, file, &change, offset);
  return Complete(irp);
}

}  // namespace tavik::morvel
