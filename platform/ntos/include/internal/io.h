// I/O manager internals: IRPs the I/O manager owns, synchronous sends, file-object lifetime and the paths the
// Nt calls share.
#pragma once

#include <string>

#include "ddk/ntifs.h"
#include "include/internal/ob.h"

namespace xp::ntos::io {

// Private part of every IRP, in front of it.
struct IrpExtra {
  uint32_t magic;
  ULONG user_buffer_length;  // METHOD_BUFFERED: how much of the system buffer may go back to the caller
};
IrpExtra* ExtraOf(PIRP irp);

// An IRP for `device`'s stack in the previous mode; the file object (if any) is referenced until completion. The first stack location is ready to fill (IoGetNextIrpStackLocation).
PIRP BuildIrp(PDEVICE_OBJECT device, PFILE_OBJECT file, UCHAR major, UCHAR minor);
// Calls the driver, waits when it pends, and returns the final status and information.
NTSTATUS Send(PDEVICE_OBJECT device, PIRP irp, ULONG_PTR* information = nullptr);
// A paging read or write of `length` bytes at `buffer` (system memory) for `file`, to the top of its stack.
NTSTATUS PagingIo(PFILE_OBJECT file, UCHAR major, void* buffer, LONGLONG offset, ULONG length,
                  ULONG_PTR* information);

PFILE_OBJECT AllocateFileObject();
// The open file behind a handle, referenced; STATUS_INVALID_HANDLE or STATUS_OBJECT_TYPE_MISMATCH.
NTSTATUS ReferenceFileByHandle(HANDLE handle, PFILE_OBJECT* file, ACCESS_MASK* granted);
// The device stack the file system mounted for a storage device, mounting it at the first call.
NTSTATUS MountIfNeeded(PDEVICE_OBJECT real_device);

// The file layer of Nt and Zw: `mode` is the previous mode the request runs in.
NTSTATUS CreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io_status,
                    PLARGE_INTEGER allocation_size, ULONG file_attributes, ULONG share_access, ULONG disposition,
                    ULONG options, UCHAR stack_flags, PFILE_OBJECT* opened);
NTSTATUS Close(HANDLE handle);

// A user-mode range the model accepts: not null, not wrapping (the model's stand-in for the user address space),
// and inside the thread's user buffers while a UserBuffersScope names them.
bool ValidUserRange(const void* address, SIZE_T length);
// user_buffers.cc: false when a UserBuffersScope is active and the range lies outside its buffers.
bool InUserBuffers(const void* address, SIZE_T length);

}  // namespace xp::ntos::io
