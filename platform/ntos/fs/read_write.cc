// Reads and writes on a model volume. Cached requests go through the cache manager. Non-cached ones touch the
// host file directly: offsets and lengths in whole 512-byte sectors (paging I/O is page-aligned anyway),
// Information = min(Length, FileSize - Offset) with the rest of the buffer zeroed, zeros past the valid data
// length, STATUS_END_OF_FILE at or past the end. Paging writes are trimmed at the end of file and never extend
// it; other writes extend the file (against the volume's budget).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "fs/model_fs.h"
#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"

namespace xp::ntos::fs {
namespace {

bool SectorAligned(LONGLONG offset, ULONG length) { return offset % kSectorSize == 0 && length % kSectorSize == 0; }

NTSTATUS HostTransfer(Fcb& fcb, bool write, LONGLONG offset, void* buffer, size_t length) {
  const int fd = HostFile(fcb, write);
  if (fd < 0) return STATUS_ACCESS_DENIED;
  size_t done = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (done < length) {
    const ssize_t moved = write ? ::pwrite(fd, bytes + done, length - done, offset + static_cast<LONGLONG>(done))
                                : ::pread(fd, bytes + done, length - done, offset + static_cast<LONGLONG>(done));
    if (moved <= 0) break;
    done += static_cast<size_t>(moved);
  }
  if (fd != fcb.host_file) ::close(fd);
  if (done < length && !write) std::memset(bytes + done, 0, length - done);
  return done == length || !write ? STATUS_SUCCESS : STATUS_DISK_FULL;
}

void InitializeCaching(PFILE_OBJECT file, Fcb& fcb) {
  if (file->PrivateCacheMap != nullptr) return;
  CC_FILE_SIZES sizes{fcb.header.AllocationSize, fcb.header.FileSize, fcb.header.ValidDataLength};
  State().cache.Initialize(file, sizes, &fcb.vcb->cache_callbacks, fcb.vcb);
}

// Tells the cache the stream's sizes (a valid data length the disk has reached, a longer file).
void PublishSizes(PFILE_OBJECT file, Fcb& fcb) {
  if (fcb.section.SharedCacheMap == nullptr) return;
  CC_FILE_SIZES sizes{fcb.header.AllocationSize, fcb.header.FileSize, fcb.header.ValidDataLength};
  CcSetFileSizes(file, &sizes);
}

// Makes the file `size` bytes long if it is shorter (a write past its end). Only the stream's sizes move, against
// the volume's budget: the host file grows when the data itself reaches the disk, so a power loss before that
// leaves the file as long as what was written of it, not a tail of zeros.
NTSTATUS Extend(PFILE_OBJECT file, Fcb& fcb, LONGLONG size) {
  if (size <= fcb.header.FileSize.QuadPart) return STATUS_SUCCESS;
  const LONGLONG old_allocation = fcb.header.AllocationSize.QuadPart;
  const LONGLONG new_allocation = size > old_allocation ? RoundToCluster(size) : old_allocation;
  const NTSTATUS status = ChargeAllocation(*fcb.vcb, old_allocation, new_allocation);
  if (!NT_SUCCESS(status)) return status;
  fcb.header.AllocationSize.QuadPart = new_allocation;
  fcb.header.FileSize.QuadPart = size;
  fcb.record_changed = true;
  PublishSizes(file, fcb);
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS Read(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  PFILE_OBJECT file = stack->FileObject;
  Fcb* fcb = FcbOf(file);
  if (fcb == nullptr || fcb->directory || fcb->volume) return STATUS_INVALID_DEVICE_REQUEST;
  const LONGLONG offset = stack->Parameters.Read.ByteOffset.QuadPart;
  const ULONG length = stack->Parameters.Read.Length;
  const bool non_cached = (irp->Flags & IRP_NOCACHE) != 0;
  const bool paging = (irp->Flags & IRP_PAGING_IO) != 0;
  if (length == 0) return STATUS_SUCCESS;
  if (offset < 0) return STATUS_INVALID_PARAMETER;
  if (non_cached && !paging && !SectorAligned(offset, length)) return STATUS_INVALID_PARAMETER;
  void* buffer = RequestBuffer(irp);
  if (buffer == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  if (non_cached && !paging) {
    // What the cache holds dirty must reach the disk before the disk is read around it.
    State().cache.Flush(&fcb->section, &offset, length);
  }
  const LONGLONG file_size = fcb->header.FileSize.QuadPart;
  if (offset >= file_size) return STATUS_END_OF_FILE;
  const ULONG available = static_cast<ULONG>(std::min<LONGLONG>(length, file_size - offset));
  if (!non_cached) {
    InitializeCaching(file, *fcb);
    const NTSTATUS status = State().cache.CopyRead(file, offset, available, buffer);
    if (!NT_SUCCESS(status)) return status;
  } else {
    const LONGLONG valid = fcb->header.ValidDataLength.QuadPart;
    const size_t from_disk = offset >= valid ? 0 : static_cast<size_t>(std::min<LONGLONG>(available, valid - offset));
    NTSTATUS status = HostTransfer(*fcb, false, offset, buffer, from_disk);
    if (!NT_SUCCESS(status)) return status;
    std::memset(static_cast<char*>(buffer) + from_disk, 0, length - from_disk);
  }
  irp->IoStatus.Information = available;
  if (!paging && (file->Flags & FO_SYNCHRONOUS_IO)) file->CurrentByteOffset.QuadPart = offset + available;
  return STATUS_SUCCESS;
}

NTSTATUS Write(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  PFILE_OBJECT file = stack->FileObject;
  Fcb* fcb = FcbOf(file);
  if (fcb == nullptr || fcb->directory || fcb->volume) return STATUS_INVALID_DEVICE_REQUEST;
  if (fcb->vcb->read_only) return STATUS_MEDIA_WRITE_PROTECTED;
  LONGLONG offset = stack->Parameters.Write.ByteOffset.QuadPart;
  const ULONG length = stack->Parameters.Write.Length;
  const bool non_cached = (irp->Flags & IRP_NOCACHE) != 0;
  const bool paging = (irp->Flags & IRP_PAGING_IO) != 0;
  if (!paging && stack->Parameters.Write.ByteOffset.HighPart == -1 &&
      stack->Parameters.Write.ByteOffset.LowPart == FILE_WRITE_TO_END_OF_FILE) {
    offset = fcb->header.FileSize.QuadPart;
  }
  if (length == 0) return STATUS_SUCCESS;
  if (offset < 0) return STATUS_INVALID_PARAMETER;
  if (non_cached && !paging && !SectorAligned(offset, length)) return STATUS_INVALID_PARAMETER;
  void* buffer = RequestBuffer(irp);
  if (buffer == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  NTSTATUS status = STATUS_SUCCESS;
  ULONG written = length;
  if (paging) {
    const LONGLONG file_size = fcb->header.FileSize.QuadPart;
    written = offset >= file_size ? 0 : static_cast<ULONG>(std::min<LONGLONG>(length, file_size - offset));
    status = HostTransfer(*fcb, true, offset, buffer, written);
    if (NT_SUCCESS(status) && offset + written > fcb->header.ValidDataLength.QuadPart) {
      // Saved once the flush this write belongs to is over (ReleaseForCcFlush), or at the stream's last close.
      fcb->header.ValidDataLength.QuadPart = offset + written;
      fcb->record_changed = true;
    }
  } else if (non_cached) {
    State().cache.Flush(&fcb->section, &offset, length);
    State().cache.Purge(&fcb->section, &offset, length, false);
    status = Extend(file, *fcb, offset + length);
    if (NT_SUCCESS(status)) status = HostTransfer(*fcb, true, offset, buffer, length);
    if (NT_SUCCESS(status) && offset + length > fcb->header.ValidDataLength.QuadPart) {
      fcb->header.ValidDataLength.QuadPart = offset + length;
    }
  } else {
    status = Extend(file, *fcb, offset + length);
    if (NT_SUCCESS(status)) {
      InitializeCaching(file, *fcb);
      status = State().cache.CopyWrite(file, offset, length, buffer);
    }
    // Written through: on the disk, with the length that makes it readable, before the call returns.
    if (NT_SUCCESS(status) && (file->Flags & FO_WRITE_THROUGH) != 0) {
      status = State().cache.Flush(&fcb->section, &offset, length);
      if (NT_SUCCESS(status) && fcb->record_changed) status = SaveRecord(*fcb);
    }
  }
  if (!NT_SUCCESS(status)) return status;
  if (paging || non_cached) PublishSizes(file, *fcb);
  irp->IoStatus.Information = written;
  if (!paging) {
    file->Flags |= FO_FILE_MODIFIED;
    fcb->record.last_write_time = fcb->record.change_time = ke::SystemTime();
    fcb->record.attributes |= FILE_ATTRIBUTE_ARCHIVE;
    fcb->record_changed = true;
    if (file->Flags & FO_SYNCHRONOUS_IO) file->CurrentByteOffset.QuadPart = offset + length;
  }
  return STATUS_SUCCESS;
}

NTSTATUS FlushBuffers(PDEVICE_OBJECT, PIRP irp) {
  Fcb* fcb = FcbOf(IoGetCurrentIrpStackLocation(irp)->FileObject);
  if (fcb == nullptr || fcb->volume || fcb->directory) return STATUS_SUCCESS;
  const NTSTATUS status = State().cache.Flush(&fcb->section, nullptr, 0);
  if (!NT_SUCCESS(status) || !fcb->record_changed) return status;
  return SaveRecord(*fcb);
}

}  // namespace xp::ntos::fs
