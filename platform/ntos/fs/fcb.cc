// Stream control blocks: one per open file or folder, shared by its file objects, with the advanced header that
// filters hang their per-stream contexts on. Also the volume's free-space budget and the size changes that
// move it.
#include <system_error>

#include "fs/model_fs.h"
#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"

namespace xp::ntos::fs {

LONGLONG RoundToCluster(LONGLONG bytes) { return (bytes + kClusterSize - 1) / kClusterSize * kClusterSize; }

NTSTATUS ChargeAllocation(Vcb& vcb, LONGLONG old_allocation, LONGLONG new_allocation) {
  const int64_t delta = RoundToCluster(new_allocation) - RoundToCluster(old_allocation);
  if (delta == 0) return STATUS_SUCCESS;
  const uint64_t free = vcb.store->FreeBytes();
  if (delta > 0 && static_cast<uint64_t>(delta) > free) return STATUS_DISK_FULL;
  vcb.store->SetFreeBytes(static_cast<uint64_t>(static_cast<int64_t>(free) - delta));
  return STATUS_SUCCESS;
}

FileRecord LoadRecord(Vcb& vcb, const std::u16string& path, bool directory) {
  if (std::optional<FileRecord> stored = vcb.store->Find(KeyOf(path))) return *stored;
  // A file put into the drive folder from outside: archive (or directory) attribute, times from the host.
  FileRecord record;
  record.attributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  const LONGLONG now = ke::SystemTime();
  record.creation_time = record.last_access_time = record.last_write_time = record.change_time = now;
  return record;
}

void SaveRecord(Fcb& fcb) {
  if (fcb.volume || fcb.path == u"\\") return;
  fcb.record.valid_data_length = fcb.header.ValidDataLength.QuadPart;
  fcb.vcb->store->Put(fcb.key, fcb.record);
}

Fcb* FindOrCreateFcb(Vcb& vcb, const std::u16string& path, bool directory) {
  const std::u16string key = KeyOf(path);
  if (auto found = vcb.fcbs.find(key); found != vcb.fcbs.end()) return found->second;
  auto* fcb = new Fcb;
  fcb->vcb = &vcb;
  fcb->path = path;
  fcb->key = key;
  fcb->directory = directory;
  fcb->record = LoadRecord(vcb, path, directory);
  fcb->paging_file = key == u"\\PAGEFILE.SYS";
  fcb->header.NodeTypeCode = kFcbNodeType;
  fcb->header.NodeByteSize = sizeof(Fcb);
  fcb->header.IsFastIoPossible = FastIoIsPossible;
  ExInitializeFastMutex(&fcb->header_mutex);
  FsRtlSetupAdvancedHeader(&fcb->header, &fcb->header_mutex);
  if (!directory) {
    std::error_code error;
    const auto size = static_cast<LONGLONG>(std::filesystem::file_size(HostPath(vcb, path), error));
    const LONGLONG file_size = error ? 0 : size;
    fcb->header.FileSize.QuadPart = file_size;
    fcb->header.AllocationSize.QuadPart = RoundToCluster(file_size);
    const LONGLONG valid = fcb->record.valid_data_length.value_or(file_size);
    fcb->header.ValidDataLength.QuadPart = valid < file_size ? valid : file_size;
  }
  vcb.fcbs[key] = fcb;
  return fcb;
}

void ReleaseFcb(Fcb* fcb) {
  if (fcb->open_count != 0) return;
  if (fcb->vcb != nullptr) fcb->vcb->fcbs.erase(fcb->key);
  FsRtlTeardownPerStreamContexts(&fcb->header);
  delete fcb;
}

NTSTATUS SetEndOfFile(PFILE_OBJECT file, Fcb& fcb, LONGLONG size) {
  if (size < 0) return STATUS_INVALID_PARAMETER;
  Vcb& vcb = *fcb.vcb;
  const LONGLONG old_allocation = fcb.header.AllocationSize.QuadPart;
  const LONGLONG new_allocation = size > old_allocation ? RoundToCluster(size) : old_allocation;
  NTSTATUS status = ChargeAllocation(vcb, old_allocation, new_allocation);
  if (!NT_SUCCESS(status)) return status;
  std::error_code error;
  std::filesystem::resize_file(HostPath(vcb, fcb.path), static_cast<uintmax_t>(size), error);
  if (error) {
    ChargeAllocation(vcb, new_allocation, old_allocation);
    return STATUS_DISK_FULL;
  }
  fcb.header.AllocationSize.QuadPart = new_allocation;
  fcb.header.FileSize.QuadPart = size;
  if (fcb.header.ValidDataLength.QuadPart > size) fcb.header.ValidDataLength.QuadPart = size;
  if (fcb.section.SharedCacheMap != nullptr) {
    CC_FILE_SIZES sizes{fcb.header.AllocationSize, fcb.header.FileSize, fcb.header.ValidDataLength};
    CcSetFileSizes(file, &sizes);
  }
  fcb.record.last_write_time = fcb.record.change_time = ke::SystemTime();
  SaveRecord(fcb);
  return STATUS_SUCCESS;
}

}  // namespace xp::ntos::fs

extern "C" {

// Exported by the kernel model.
BOOLEAN FsRtlIsPagingFile(PFILE_OBJECT file) {
  auto* header = static_cast<PFSRTL_COMMON_FCB_HEADER>(file->FsContext);
  if (header == nullptr || header->NodeTypeCode != xp::ntos::fs::kFcbNodeType) return FALSE;
  return xp::ntos::fs::FcbOf(file)->paging_file;
}

}  // extern "C"
