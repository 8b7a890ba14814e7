// The model file system's fast I/O: cached reads and writes inside the file straight from the cache, the
// attribute queries, and QueryOpen. Everything else (extending writes, MDL and compressed transfers) answers
// FALSE, so the I/O manager builds an IRP.
#include <algorithm>
#include <mutex>

#include "fs/model_fs.h"
#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"
#include "include/internal/rtl.h"

namespace xp::ntos::fs {
namespace {

BOOLEAN CheckIfPossible(PFILE_OBJECT file, PLARGE_INTEGER, ULONG, BOOLEAN, ULONG, BOOLEAN, PIO_STATUS_BLOCK,
                        PDEVICE_OBJECT) {
  return FcbOf(file) != nullptr && file->PrivateCacheMap != nullptr;
}

BOOLEAN FastRead(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN, ULONG, PVOID buffer,
                 PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device) {
  Fcb* fcb = FcbOf(file);
  if (fcb == nullptr || file->PrivateCacheMap == nullptr) return FALSE;
  std::lock_guard<std::recursive_mutex> guard(VcbOf(device)->lock);
  const LONGLONG size = fcb->header.FileSize.QuadPart;
  if (offset->QuadPart >= size) {
    io_status->Status = length == 0 ? STATUS_SUCCESS : STATUS_END_OF_FILE;
    io_status->Information = 0;
    return TRUE;
  }
  const ULONG available = static_cast<ULONG>(std::min<LONGLONG>(length, size - offset->QuadPart));
  if (!NT_SUCCESS(State().cache.CopyRead(file, offset->QuadPart, available, buffer))) return FALSE;
  io_status->Status = STATUS_SUCCESS;
  io_status->Information = available;
  return TRUE;
}

BOOLEAN FastWrite(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN, ULONG, PVOID buffer,
                  PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device) {
  Fcb* fcb = FcbOf(file);
  // A write through the cache to the disk takes the IRP path, which flushes it.
  if (fcb == nullptr || file->PrivateCacheMap == nullptr || offset->HighPart == -1 ||
      (file->Flags & FO_WRITE_THROUGH) != 0) {
    return FALSE;
  }
  std::lock_guard<std::recursive_mutex> guard(VcbOf(device)->lock);
  if (offset->QuadPart + length > fcb->header.FileSize.QuadPart) return FALSE;
  if (!NT_SUCCESS(State().cache.CopyWrite(file, offset->QuadPart, length, buffer))) return FALSE;
  file->Flags |= FO_FILE_MODIFIED;
  fcb->record.last_write_time = fcb->record.change_time = ke::SystemTime();
  fcb->record.attributes |= FILE_ATTRIBUTE_ARCHIVE;
  fcb->record_changed = true;
  io_status->Status = STATUS_SUCCESS;
  io_status->Information = length;
  return TRUE;
}

BOOLEAN QueryBasic(PFILE_OBJECT file, BOOLEAN, PFILE_BASIC_INFORMATION buffer, PIO_STATUS_BLOCK io_status,
                   PDEVICE_OBJECT device) {
  Fcb* fcb = FcbOf(file);
  if (fcb == nullptr) return FALSE;
  std::lock_guard<std::recursive_mutex> guard(VcbOf(device)->lock);
  FillBasic(*fcb, buffer);
  io_status->Status = STATUS_SUCCESS;
  io_status->Information = sizeof(FILE_BASIC_INFORMATION);
  return TRUE;
}

BOOLEAN QueryStandard(PFILE_OBJECT file, BOOLEAN, PFILE_STANDARD_INFORMATION buffer, PIO_STATUS_BLOCK io_status,
                      PDEVICE_OBJECT device) {
  Fcb* fcb = FcbOf(file);
  if (fcb == nullptr) return FALSE;
  std::lock_guard<std::recursive_mutex> guard(VcbOf(device)->lock);
  FillStandard(*fcb, buffer);
  io_status->Status = STATUS_SUCCESS;
  io_status->Information = sizeof(FILE_STANDARD_INFORMATION);
  return TRUE;
}

BOOLEAN QueryNetworkOpen(PFILE_OBJECT file, BOOLEAN, PFILE_NETWORK_OPEN_INFORMATION buffer,
                         PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device) {
  Fcb* fcb = FcbOf(file);
  if (fcb == nullptr) return FALSE;
  std::lock_guard<std::recursive_mutex> guard(VcbOf(device)->lock);
  FillNetworkOpen(*fcb, buffer);
  io_status->Status = STATUS_SUCCESS;
  io_status->Information = sizeof(FILE_NETWORK_OPEN_INFORMATION);
  return TRUE;
}

// Attributes of a file by name without opening it; an open stream answers from its FCB.
BOOLEAN QueryOpen(PIRP irp, PFILE_NETWORK_OPEN_INFORMATION information, PDEVICE_OBJECT device) {
  PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  if (file == nullptr || file->RelatedFileObject != nullptr) return FALSE;
  Vcb& vcb = *VcbOf(device);
  std::lock_guard<std::recursive_mutex> guard(vcb.lock);
  std::vector<std::u16string> components;
  NTSTATUS status = STATUS_SUCCESS;
  if (!SplitPath(rtl::View(file->FileName), &components, &status) || components.empty()) return FALSE;
  std::filesystem::path host;
  std::vector<std::u16string> disk_names;
  if (Resolve(vcb, components, &host, &disk_names) != components.size()) return FALSE;
  const bool directory = std::filesystem::is_directory(host);
  Fcb* fcb = nullptr;
  if (!NT_SUCCESS(FindOrCreateFcb(vcb, JoinPath(disk_names), directory, &fcb))) return FALSE;
  FillNetworkOpen(*fcb, information);
  ReleaseFcb(fcb);
  irp->IoStatus.Status = STATUS_SUCCESS;
  irp->IoStatus.Information = sizeof(FILE_NETWORK_OPEN_INFORMATION);
  return TRUE;
}

NTSTATUS AcquireForCcFlush(PFILE_OBJECT, PDEVICE_OBJECT device) {
  VcbOf(device)->lock.lock();
  return STATUS_SUCCESS;
}

// The end of a flush: the valid data length its paging writes reached is saved with it.
NTSTATUS ReleaseForCcFlush(PFILE_OBJECT file, PDEVICE_OBJECT device) {
  Fcb* fcb = FcbOf(file);
  if (fcb != nullptr && fcb->record_changed && fcb->vcb != nullptr) SaveRecord(*fcb);
  VcbOf(device)->lock.unlock();
  return STATUS_SUCCESS;
}

}  // namespace

void InitializeFastIo(PFAST_IO_DISPATCH fast_io) {
  fast_io->SizeOfFastIoDispatch = sizeof(FAST_IO_DISPATCH);
  fast_io->FastIoCheckIfPossible = CheckIfPossible;
  fast_io->FastIoRead = FastRead;
  fast_io->FastIoWrite = FastWrite;
  fast_io->FastIoQueryBasicInfo = QueryBasic;
  fast_io->FastIoQueryStandardInfo = QueryStandard;
  fast_io->FastIoQueryNetworkOpenInfo = QueryNetworkOpen;
  fast_io->FastIoQueryOpen = QueryOpen;
  fast_io->AcquireForCcFlush = AcquireForCcFlush;
  fast_io->ReleaseForCcFlush = ReleaseForCcFlush;
}

}  // namespace xp::ntos::fs
