// Share access as file systems keep it per stream: an open fails with STATUS_SHARING_VIOLATION when its access
// conflicts with what earlier opens share, or when what it shares does not cover earlier opens' access.
#include "ddk/ntifs.h"

namespace {

struct Wants {
  bool read;
  bool write;
  bool remove;
  bool share_read;
  bool share_write;
  bool share_delete;
};

Wants WantsOf(ACCESS_MASK access, ULONG share) {
  return Wants{(access & (FILE_READ_DATA | FILE_EXECUTE)) != 0, (access & (FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0,
               (access & DELETE) != 0, (share & FILE_SHARE_READ) != 0, (share & FILE_SHARE_WRITE) != 0,
               (share & FILE_SHARE_DELETE) != 0};
}

void Record(const Wants& wants, PFILE_OBJECT file, PSHARE_ACCESS share_access) {
  file->ReadAccess = wants.read;
  file->WriteAccess = wants.write;
  file->DeleteAccess = wants.remove;
  file->SharedRead = wants.share_read;
  file->SharedWrite = wants.share_write;
  file->SharedDelete = wants.share_delete;
  if (!wants.read && !wants.write && !wants.remove) return;
  ++share_access->OpenCount;
  share_access->Readers += wants.read;
  share_access->Writers += wants.write;
  share_access->Deleters += wants.remove;
  share_access->SharedRead += wants.share_read;
  share_access->SharedWrite += wants.share_write;
  share_access->SharedDelete += wants.share_delete;
}

}  // namespace

extern "C" {

// Exported by the kernel model.
NTSTATUS IoCheckShareAccess(ACCESS_MASK access, ULONG share, PFILE_OBJECT file, PSHARE_ACCESS share_access,
                            BOOLEAN update) {
  const Wants wants = WantsOf(access, share);
  if (wants.read || wants.write || wants.remove) {
    const ULONG open_count = share_access->OpenCount;
    if ((wants.read && share_access->SharedRead < open_count) ||
        (wants.write && share_access->SharedWrite < open_count) ||
        (wants.remove && share_access->SharedDelete < open_count) ||
        (share_access->Readers != 0 && !wants.share_read) || (share_access->Writers != 0 && !wants.share_write) ||
        (share_access->Deleters != 0 && !wants.share_delete)) {
      return STATUS_SHARING_VIOLATION;
    }
  }
  if (update) {
    Record(wants, file, share_access);
  } else {
    file->ReadAccess = wants.read;
    file->WriteAccess = wants.write;
    file->DeleteAccess = wants.remove;
    file->SharedRead = wants.share_read;
    file->SharedWrite = wants.share_write;
    file->SharedDelete = wants.share_delete;
  }
  return STATUS_SUCCESS;
}

void IoSetShareAccess(ACCESS_MASK access, ULONG share, PFILE_OBJECT file, PSHARE_ACCESS share_access) {
  *share_access = SHARE_ACCESS{};
  Record(WantsOf(access, share), file, share_access);
}

void IoUpdateShareAccess(PFILE_OBJECT file, PSHARE_ACCESS share_access) {
  Record(Wants{file->ReadAccess != 0, file->WriteAccess != 0, file->DeleteAccess != 0, file->SharedRead != 0,
               file->SharedWrite != 0, file->SharedDelete != 0},
         file, share_access);
}

void IoRemoveShareAccess(PFILE_OBJECT file, PSHARE_ACCESS share_access) {
  if (!file->ReadAccess && !file->WriteAccess && !file->DeleteAccess) return;
  --share_access->OpenCount;
  share_access->Readers -= file->ReadAccess != 0;
  share_access->Writers -= file->WriteAccess != 0;
  share_access->Deleters -= file->DeleteAccess != 0;
  share_access->SharedRead -= file->SharedRead != 0;
  share_access->SharedWrite -= file->SharedWrite != 0;
  share_access->SharedDelete -= file->SharedDelete != 0;
}

}  // extern "C"
