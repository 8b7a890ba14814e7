// NtReadFile and NtWriteFile: fast I/O first (for cached, synchronous file objects, as XP does), else an IRP with
// the caller's buffer (neither-I/O for file systems), IRP_NOCACHE for files opened without buffering.
#include <cstdlib>

#include "include/internal/io.h"
#include "include/internal/io_calls.h"
#include "include/internal/ke.h"

namespace xp::ntos::io {
namespace {

bool UsesFilePointer(PLARGE_INTEGER offset) {
  return offset == nullptr ||
         (offset->HighPart == -1 && offset->LowPart == FILE_USE_FILE_POINTER_POSITION);
}

template <typename Slot>
Slot FastSlot(PDEVICE_OBJECT device, size_t offset_of_slot) {
  PFAST_IO_DISPATCH fast_io = device->DriverObject->FastIoDispatch;
  if (fast_io == nullptr || fast_io->SizeOfFastIoDispatch <= offset_of_slot) return nullptr;
  return *reinterpret_cast<Slot*>(reinterpret_cast<char*>(fast_io) + offset_of_slot);
}

NTSTATUS Transfer(UCHAR major, HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID buffer, ULONG length,
                  PLARGE_INTEGER byte_offset, PULONG key) {
  const KPROCESSOR_MODE mode = ke::PreviousMode();
  PFILE_OBJECT file = nullptr;
  ACCESS_MASK granted = 0;
  NTSTATUS status = ReferenceFileByHandle(handle, &file, &granted);
  if (!NT_SUCCESS(status)) return status;
  const bool read = major == IRP_MJ_READ;
  const ACCESS_MASK needed = read ? FILE_READ_DATA : (FILE_WRITE_DATA | FILE_APPEND_DATA);
  if (mode == UserMode && (granted & needed) == 0) {
    ObDereferenceObject(file);
    return STATUS_ACCESS_DENIED;
  }
  if (mode == UserMode && !ValidUserRange(buffer, length)) {
    ObDereferenceObject(file);
    return STATUS_ACCESS_VIOLATION;
  }
  const bool synchronous = (file->Flags & FO_SYNCHRONOUS_IO) != 0;
  LARGE_INTEGER offset{};
  if (UsesFilePointer(byte_offset)) {
    if (!synchronous) {
      ObDereferenceObject(file);
      return STATUS_INVALID_PARAMETER;
    }
    offset = file->CurrentByteOffset;
  } else {
    offset = *byte_offset;
  }
  // A handle that may only append writes at the end of the file.
  if (!read && mode == UserMode && (granted & FILE_WRITE_DATA) == 0) {
    offset.HighPart = -1;
    offset.LowPart = FILE_WRITE_TO_END_OF_FILE;
  }
  const ULONG lock_key = key != nullptr ? *key : 0;
  PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);

  if (synchronous && file->PrivateCacheMap != nullptr) {
    auto slot = read ? reinterpret_cast<PFAST_IO_READ>(
                           FastSlot<PFAST_IO_READ>(top, offsetof(FAST_IO_DISPATCH, FastIoRead)))
                     : FastSlot<PFAST_IO_WRITE>(top, offsetof(FAST_IO_DISPATCH, FastIoWrite));
    IO_STATUS_BLOCK fast_status{};
    if (slot != nullptr && slot(file, &offset, length, TRUE, lock_key, buffer, &fast_status, top)) {
      *io_status = fast_status;
      if (NT_SUCCESS(fast_status.Status)) {
        file->CurrentByteOffset.QuadPart = (offset.HighPart == -1 ? 0 : offset.QuadPart) +
                                           static_cast<LONGLONG>(fast_status.Information);
      }
      ObDereferenceObject(file);
      return fast_status.Status;
    }
  }

  PIRP irp = BuildIrp(top, file, major, IRP_MN_NORMAL);
  irp->Flags = (read ? IRP_READ_OPERATION : IRP_WRITE_OPERATION) |
               ((file->Flags & FO_NO_INTERMEDIATE_BUFFERING) ? IRP_NOCACHE : 0) |
               (synchronous ? IRP_SYNCHRONOUS_API : 0);
  irp->UserBuffer = buffer;
  if (top->Flags & DO_BUFFERED_IO) {
    irp->AssociatedIrp.SystemBuffer = ExAllocatePoolWithTag(NonPagedPool, length, tag::kIoBuffer);
    irp->Flags |= IRP_BUFFERED_IO | IRP_DEALLOCATE_BUFFER | (read ? IRP_INPUT_OPERATION : 0);
    if (!read && length != 0) memcpy(irp->AssociatedIrp.SystemBuffer, buffer, length);
    ExtraOf(irp)->user_buffer_length = length;
  } else if (top->Flags & DO_DIRECT_IO) {
    IoAllocateMdl(buffer, length, FALSE, FALSE, irp);
    irp->MdlAddress->MdlFlags |= MDL_PAGES_LOCKED;
  }
  PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
  stack->Parameters.Read.Length = length;
  stack->Parameters.Read.Key = lock_key;
  stack->Parameters.Read.ByteOffset = offset;
  ULONG_PTR information = 0;
  status = Send(top, irp, &information);
  io_status->Status = status;
  io_status->Information = information;
  if (synchronous && NT_SUCCESS(status) && offset.HighPart != -1) {
    file->CurrentByteOffset.QuadPart = offset.QuadPart + static_cast<LONGLONG>(information);
  }
  ObDereferenceObject(file);
  return status;
}

}  // namespace

NTSTATUS ReadFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                  PULONG key) {
  return Transfer(IRP_MJ_READ, handle, io_status, buffer, length, offset, key);
}

NTSTATUS WriteFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                   PULONG key) {
  return Transfer(IRP_MJ_WRITE, handle, io_status, buffer, length, offset, key);
}

}  // namespace xp::ntos::io
