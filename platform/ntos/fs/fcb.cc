// Stream control blocks: one per open file or folder, shared by its file objects, with the advanced header that
// filters hang their per-stream contexts on. Also the volume's free-space budget and the size changes that
// move it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include <system_error>

#include "fs/model_fs.h"
#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"

namespace xp::ntos::fs {

LONGLONG RoundToCluster(LONGLONG bytes) { return (bytes + kClusterSize - 1) / kClusterSize * kClusterSize; }

NTSTATUS ChargeAllocation(Vcb& vcb, LONGLONG old_allocation, LONGLONG new_allocation) {
  return vcb.store->Charge(RoundToCluster(new_allocation) - RoundToCluster(old_allocation));
}

namespace {

constexpr LONGLONG kUnixEpochAsNtTime = 116444736000000000;  // 1970-01-01 in 100 ns units since 1601

std::optional<DiskStamp> StampOf(const std::filesystem::path& host) {
  struct stat status {};
  if (::stat(host.c_str(), &status) != 0) return std::nullopt;
  return DiskStamp{static_cast<int64_t>(status.st_size),
                   static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                   static_cast<int64_t>(status.st_ino)};
}

// A file or folder put into the drive folder from outside: archive (or directory) attribute, its host times.
FileRecord RecordFromDisk(const std::optional<DiskStamp>& stamp, bool directory) {
  FileRecord record;
  record.attributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  const LONGLONG time = stamp ? kUnixEpochAsNtTime + stamp->time_ns / 100 : ke::SystemTime();
  record.creation_time = record.last_access_time = record.last_write_time = record.change_time = time;
  return record;
}

// The stored row still describes the host file: the same file (a folder's content changes its time, so only its
// identity counts), unchanged since the row was saved; or a row the machine was still changing when it stopped.
bool StillDescribes(const StoredRecord& stored, const std::optional<DiskStamp>& now, bool directory) {
  if (!stored.stamp || !now) return true;
  if (directory) return stored.stamp->id == now->id;
  return !stored.settled || *stored.stamp == *now;
}

}  // namespace

NTSTATUS ReadRecord(Vcb& vcb, const std::u16string& path, bool directory, FileRecord* record, bool* stored_row,
                    bool* settled) {
  std::optional<StoredRecord> stored;
  const NTSTATUS status = vcb.store->Find(KeyOf(path), &stored);
  if (!NT_SUCCESS(status)) return status;
  const std::optional<DiskStamp> now = StampOf(HostPath(vcb, path));
  *stored_row = stored.has_value();
  *settled = !stored || stored->settled;
  if (stored && StillDescribes(*stored, now, directory)) {
    *record = stored->record;
    return STATUS_SUCCESS;
  }
  *record = RecordFromDisk(now, directory);
  return STATUS_SUCCESS;
}

NTSTATUS LoadRecord(Fcb& fcb) {
  return ReadRecord(*fcb.vcb, fcb.path, fcb.directory, &fcb.record, &fcb.stored, &fcb.stored_settled);
}

NTSTATUS SaveRecord(Fcb& fcb, bool settled) {
  if (fcb.volume || fcb.path == u"\\" || fcb.vcb == nullptr) return STATUS_SUCCESS;
  StoredRecord stored;
  stored.record = fcb.record;
  stored.record.valid_data_length.reset();
  if (!fcb.directory && fcb.header.ValidDataLength.QuadPart < fcb.header.FileSize.QuadPart) {
    stored.record.valid_data_length = fcb.header.ValidDataLength.QuadPart;
  }
  stored.stamp = StampOf(HostPath(*fcb.vcb, fcb.path));
  stored.settled = settled;
  const NTSTATUS status = fcb.vcb->store->Put(fcb.key, stored);
  if (NT_SUCCESS(status)) {
    fcb.record_changed = false;
    fcb.stored = true;
    fcb.stored_settled = stored.settled;
  }
  return status;
}

NTSTATUS FindOrCreateFcb(Vcb& vcb, const std::u16string& path, bool directory, Fcb** found_or_made) {
  const std::u16string key = KeyOf(path);
  if (auto found = vcb.fcbs.find(key); found != vcb.fcbs.end()) {
    *found_or_made = found->second;
    return STATUS_SUCCESS;
  }
  auto* fcb = new Fcb;
  fcb->vcb = &vcb;
  fcb->path = path;
  fcb->key = key;
  fcb->directory = directory;
  if (const NTSTATUS status = LoadRecord(*fcb); !NT_SUCCESS(status)) {
    delete fcb;
    return status;
  }
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
  *found_or_made = fcb;
  return STATUS_SUCCESS;
}

namespace {
// Descriptors kept open by streams, across the process's volumes: past the bound a transfer opens its own.
constexpr int kMaxKeptHostFiles = 256;
std::atomic<int> kept_host_files{0};
}  // namespace

int HostFile(Fcb& fcb, bool write) {
  if (fcb.host_file >= 0 && (fcb.host_file_writes || !write)) return fcb.host_file;
  const std::filesystem::path host = HostPath(*fcb.vcb, fcb.path);
  bool writes = true;
  int fd = ::open(host.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 && !write) {
    writes = false;
    fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) return -1;
  CloseHostFile(fcb);
  if (kept_host_files.fetch_add(1) >= kMaxKeptHostFiles) {
    kept_host_files.fetch_sub(1);
    return fd;  // the caller's to close
  }
  fcb.host_file = fd;
  fcb.host_file_writes = writes;
  return fd;
}

void CloseHostFile(Fcb& fcb) {
  if (fcb.host_file < 0) return;
  ::close(fcb.host_file);
  fcb.host_file = -1;
  kept_host_files.fetch_sub(1);
}

void ReleaseFcb(Fcb* fcb) {
  if (fcb->open_count != 0) return;
  CloseHostFile(*fcb);
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
  return SaveRecord(fcb);
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
