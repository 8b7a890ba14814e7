// The model disk file system ("\FileSystem\ModelFs"): the bottom of every volume stack, storing each volume in a
// host folder. Names are case-insensitive and case-preserving over the host's case-sensitive folder; attributes,
// times, valid data lengths and the free-space budget live in a side store beside the folder.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ddk/ntifs.h"
#include "include/internal/disk.h"

namespace xp::ntos::fs {

constexpr CSHORT kFcbNodeType = 0x0502;
constexpr ULONG kClusterSize = 4096;
constexpr ULONG kSectorSize = 512;

struct FileRecord {
  ULONG attributes = 0;
  LONGLONG creation_time = 0;
  LONGLONG last_access_time = 0;
  LONGLONG last_write_time = 0;
  LONGLONG change_time = 0;
  // Kept only while it falls short of the end of file: the machine is still writing the file.
  std::optional<LONGLONG> valid_data_length;
};

// What the host file looked like when its record was saved. Another stamp means the file was changed behind the
// machine's back (a person edited or replaced it while the machine was stopped).
struct DiskStamp {
  int64_t size = 0;
  int64_t time_ns = 0;  // modification time
  int64_t id = 0;       // inode number
  bool operator==(const DiskStamp&) const = default;
};

struct StoredRecord {
  FileRecord record;
  std::optional<DiskStamp> stamp;
  // Saved once the machine had closed the file for good; an unsettled row is one the machine was still changing
  // when it stopped (a power loss), so a host file that moved on since is its own writing, not a person's.
  bool settled = true;
};

// DIR/drives/<L>.meta: one row per file or folder (by upper-cased path) and the volume's free and total bytes.
// Every call answers with the store's status (STATUS_DEVICE_BUSY, STATUS_IO_DEVICE_ERROR ...) and leaves nothing
// half done.
class SideStore {
 public:
  static NTSTATUS Open(const std::filesystem::path& path, uint64_t initial_free_bytes,
                       std::unique_ptr<SideStore>* store);
  ~SideStore();
  SideStore(const SideStore&) = delete;
  SideStore& operator=(const SideStore&) = delete;

  NTSTATUS Find(const std::u16string& key, std::optional<StoredRecord>* found);
  NTSTATUS Put(const std::u16string& key, const StoredRecord& stored);
  NTSTATUS Remove(const std::u16string& key);
  // Moves a file's row over the target's, and for a folder every row beneath it, in one transaction.
  NTSTATUS Rename(const std::u16string& old_key, const std::u16string& new_key);
  // Takes `bytes` from the free bytes (gives them back when negative) in one statement; STATUS_DISK_FULL when
  // fewer are free.
  NTSTATUS Charge(int64_t bytes);
  NTSTATUS FreeBytes(uint64_t* free);
  uint64_t TotalBytes() const { return total_bytes_; }
  // The statement of `sql` (a literal: kept by its address), prepared at its first use; nullptr and *result on
  // failure.
  sqlite3_stmt* Prepared(const char* sql, int* result);
  std::recursive_mutex& statements_lock() { return statements_lock_; }

 private:
  SideStore() = default;
  sqlite3* db_ = nullptr;
  uint64_t total_bytes_ = 0;
  std::recursive_mutex statements_lock_;
  std::map<const char*, sqlite3_stmt*> prepared_;
};

// The spellings on disk of the names in a volume's host folders, by upper-cased name, kept current by the host's
// notices of changes to the folders it has looked in (name_index.cc).
class NameIndex {
 public:
  NameIndex();
  ~NameIndex();
  NameIndex(const NameIndex&) = delete;
  NameIndex& operator=(const NameIndex&) = delete;

  // Resolve's walk from the volume's host folder `root`.
  size_t Walk(const std::filesystem::path& root, const std::vector<std::u16string>& components,
              std::filesystem::path* host, std::vector<std::u16string>* disk_names);

 private:
  struct Folder {
    int watch = -1;
    std::unordered_map<std::u16string, std::u16string> names;  // upper-cased name -> spelling on disk
    bool ambiguous = false;  // holds names that differ only in case
  };
  std::optional<std::u16string> Find(const std::filesystem::path& folder, const std::u16string& wanted);
  static std::optional<std::u16string> Listed(const std::filesystem::path& folder, const std::u16string& wanted);
  static void Add(Folder& folder, const char* utf8);
  void Remove(const std::string& path, const char* utf8);
  void TakeNotices();
  void Drop(const std::string& path);
  void DropBeneath(const std::string& path);
  void DropAll();

  std::mutex lock_;
  int notices_ = -1;  // the inotify descriptor; < 0: every look lists the folder
  std::map<std::string, Folder> folders_;  // by host path
  std::unordered_map<int, std::string> by_watch_;
};

struct Vcb;

// One per open stream, shared by all its file objects. The advanced header comes first: FsContext points at it.
struct Fcb {
  FSRTL_ADVANCED_FCB_HEADER header{};
  FAST_MUTEX header_mutex{};
  SECTION_OBJECT_POINTERS section{};
  SHARE_ACCESS share{};
  Vcb* vcb = nullptr;
  std::u16string path;  // "\dir\file" as the disk spells it; "\" for the root
  std::u16string key;   // upper-cased path
  bool directory = false;
  bool volume = false;  // the volume itself (an open of the device with no file name)
  bool paging_file = false;
  bool delete_pending = false;
  ULONG open_count = 0;     // file objects not yet closed
  ULONG cleanup_count = 0;  // handles not yet cleaned up
  FileRecord record;
  bool record_changed = false;  // record or valid data length changed since the last save
  bool stored_settled = true;   // the stored row (if any) was saved settled
  bool stored = false;          // the side store holds a row for the file
  // The host file, open for the stream's transfers from the first one until the stream goes (or its file is
  // deleted): one open per stream rather than per page. A rename keeps it: it names the same file.
  int host_file = -1;
  bool host_file_writes = false;
};

// Per file object: the enumeration state of a directory query.
struct Ccb {
  bool delete_on_close = false;
  bool enumerating = false;
  std::u16string pattern;
  std::vector<std::u16string> listing;  // names as on disk, in upper-case order
  size_t next = 0;
};

struct Vcb {
  DiskVolume* disk = nullptr;
  PVPB vpb = nullptr;
  PDEVICE_OBJECT volume_device = nullptr;
  std::recursive_mutex lock;
  std::map<std::u16string, Fcb*> fcbs;  // by key
  std::unique_ptr<SideStore> store;
  mutable NameIndex names;
  CACHE_MANAGER_CALLBACKS cache_callbacks{};
  bool read_only = false;
};

// The file system's driver entry, started by the kernel at boot.
NTSTATUS ModelFsEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path);

// names.cc
// Splits "\a\b" into components; false for a syntactically bad name. A trailing "::$DATA" names the file itself.
bool SplitPath(std::u16string_view path, std::vector<std::u16string>* components, NTSTATUS* status);
std::u16string JoinPath(const std::vector<std::u16string>& components);
// Finds each component in the host folder ignoring case. Returns how many were found; `host` is the host path
// of the last one found and `disk_names` their spellings on disk.
size_t Resolve(const Vcb& vcb, const std::vector<std::u16string>& components, std::filesystem::path* host,
               std::vector<std::u16string>* disk_names);
std::filesystem::path HostPath(const Vcb& vcb, const std::u16string& path);
std::u16string KeyOf(std::u16string_view path);
std::u16string ParentOf(const std::u16string& path);
std::u16string LastComponent(const std::u16string& path);

// fcb.cc
// The stream's control block, made (its record loaded) when none is open; fails only when the side store does.
NTSTATUS FindOrCreateFcb(Vcb& vcb, const std::u16string& path, bool directory, Fcb** fcb);
void ReleaseFcb(Fcb* fcb);
// The stream's host file descriptor for a transfer (opened for writing when `write`); -1 when it cannot be opened.
// A descriptor other than fcb.host_file is the caller's to close.
int HostFile(Fcb& fcb, bool write);
void CloseHostFile(Fcb& fcb);
// Charges or credits the budget for an allocation change; STATUS_DISK_FULL when it does not fit.
NTSTATUS ChargeAllocation(Vcb& vcb, LONGLONG old_allocation, LONGLONG new_allocation);
LONGLONG RoundToCluster(LONGLONG bytes);
// Writes the stream's record to the side store with the host file's stamp. `settled` only from the stream's last
// close: every other save is of a file the machine is still using.
NTSTATUS SaveRecord(Fcb& fcb, bool settled = false);
// The record a stream starts with: the stored one unless the host file changed behind the machine's back (then,
// as for a file with no row, one made from the host file: archive attribute, its modification time).
NTSTATUS LoadRecord(Fcb& fcb);
// The same for a path no stream is open on (a directory listing); *stored_row and *settled tell of its row.
NTSTATUS ReadRecord(Vcb& vcb, const std::u16string& path, bool directory, FileRecord* record, bool* stored_row,
                    bool* settled);
// Changes the file's size on disk and in the header (and the cache's sizes); keeps the budget.
NTSTATUS SetEndOfFile(PFILE_OBJECT file, Fcb& fcb, LONGLONG size);

// Dispatch routines, one file each.
NTSTATUS Create(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS Cleanup(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS Close(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS Read(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS Write(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS QueryInformation(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS SetInformation(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS QueryVolumeInformation(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DirectoryControl(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS FlushBuffers(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS FileSystemControl(PDEVICE_OBJECT device, PIRP irp);
// user_fs_request.cc: IRP_MN_USER_FS_REQUEST on a volume (FSCTL_SET_COMPRESSION, _SPARSE, _ENCRYPTION).
NTSTATUS UserFsRequest(PDEVICE_OBJECT volume_device, PIRP irp);

// information.cc: the answers shared by the IRP and fast-I/O paths.
void FillBasic(const Fcb& fcb, PFILE_BASIC_INFORMATION basic);
void FillStandard(const Fcb& fcb, PFILE_STANDARD_INFORMATION standard);
void FillNetworkOpen(const Fcb& fcb, PFILE_NETWORK_OPEN_INFORMATION open);
ULONG ReportedAttributes(const FileRecord& record, bool directory);

// fast_io.cc
void InitializeFastIo(PFAST_IO_DISPATCH fast_io);

Vcb* VcbOf(PDEVICE_OBJECT volume_device);
Fcb* FcbOf(PFILE_OBJECT file);
// The buffer of a read, write or directory request: the MDL's system address, else the user buffer.
void* RequestBuffer(PIRP irp);

}  // namespace xp::ntos::fs
