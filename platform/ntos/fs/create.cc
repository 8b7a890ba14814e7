// IRP_MJ_CREATE, IRP_MJ_CLEANUP and IRP_MJ_CLOSE on a model volume: dispositions, directory and non-directory
// options, share access, read-only files and volumes, delete-on-close, target-directory opens for renames, and
// the deletion of a delete-pending file at its last cleanup.
#include <fstream>
#include <system_error>

#include "fs/model_fs.h"
#include "include/internal/ke.h"
#include "include/internal/rtl.h"

namespace xp::ntos::fs {
namespace {

constexpr ACCESS_MASK kWriteAccess = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                     DELETE | FILE_DELETE_CHILD;

struct Request {
  ULONG disposition;
  ULONG options;
  ACCESS_MASK access;
  USHORT share;
  ULONG attributes;
  bool target_directory;
};

// The full path of the open: the related file's path for relative names.
NTSTATUS FullPath(PFILE_OBJECT file, std::vector<std::u16string>* components) {
  NTSTATUS status = STATUS_SUCCESS;
  std::u16string name(rtl::View(file->FileName));
  if (file->RelatedFileObject != nullptr) {
    Fcb* related = FcbOf(file->RelatedFileObject);
    if (related == nullptr || !related->directory) return STATUS_OBJECT_PATH_NOT_FOUND;
    if (!name.empty() && name[0] == u'\\') return STATUS_OBJECT_NAME_INVALID;
    name = related->path + u"\\" + name;
  } else if (!name.empty() && name[0] != u'\\') {
    return STATUS_OBJECT_NAME_INVALID;
  }
  if (!SplitPath(name, components, &status)) return status;
  return STATUS_SUCCESS;
}

NTSTATUS MakeOnDisk(Vcb&, const std::filesystem::path& host, bool directory) {
  std::error_code error;
  if (directory) {
    std::filesystem::create_directory(host, error);
  } else {
    std::ofstream created(host, std::ios::binary);
    if (!created) return STATUS_ACCESS_DENIED;
  }
  return error ? STATUS_ACCESS_DENIED : STATUS_SUCCESS;
}

void Attach(PFILE_OBJECT file, Fcb* fcb, const Request& request) {
  auto* ccb = new Ccb;
  ccb->delete_on_close = (request.options & FILE_DELETE_ON_CLOSE) != 0;
  file->FsContext = &fcb->header;
  file->FsContext2 = ccb;
  file->SectionObjectPointer = &fcb->section;
  file->Vpb = fcb->vcb->vpb;
  if ((file->Flags & FO_NO_INTERMEDIATE_BUFFERING) == 0 && !fcb->directory) file->Flags |= FO_CACHE_SUPPORTED;
  ++fcb->open_count;
  ++fcb->cleanup_count;
}

NTSTATUS OpenVolume(Vcb& vcb, PFILE_OBJECT file, const Request& request, PIRP irp) {
  Fcb* fcb = nullptr;
  const NTSTATUS status = FindOrCreateFcb(vcb, u"\\$Volume", false, &fcb);
  if (!NT_SUCCESS(status)) return status;
  fcb->volume = true;
  Attach(file, fcb, request);
  irp->IoStatus.Information = FILE_OPENED;
  return STATUS_SUCCESS;
}

NTSTATUS OpenTargetDirectory(Vcb& vcb, PFILE_OBJECT file, std::vector<std::u16string> components,
                             const Request& request, PIRP irp) {
  if (components.empty()) return STATUS_OBJECT_NAME_INVALID;
  const std::u16string last = components.back();
  components.pop_back();
  std::filesystem::path host;
  std::vector<std::u16string> disk_names;
  if (Resolve(vcb, components, &host, &disk_names) != components.size() || !std::filesystem::is_directory(host)) {
    return STATUS_OBJECT_PATH_NOT_FOUND;
  }
  std::vector<std::u16string> with_last = components;
  with_last.push_back(last);
  std::filesystem::path target_host;
  std::vector<std::u16string> target_names;
  const bool exists = Resolve(vcb, with_last, &target_host, &target_names) == with_last.size();
  Fcb* fcb = nullptr;
  const NTSTATUS status = FindOrCreateFcb(vcb, JoinPath(disk_names), true, &fcb);
  if (!NT_SUCCESS(status)) return status;
  Attach(file, fcb, request);
  irp->IoStatus.Information = exists ? FILE_EXISTS : FILE_DOES_NOT_EXIST;
  return STATUS_SUCCESS;
}

// The record of a file or folder just made on disk: a new file asked for encrypted starts encrypted; the other
// attributes only a request can set are dropped.
NTSTATUS StartRecord(Fcb& fcb, const Request& request, bool directory, LONGLONG reserve) {
  const LONGLONG now = ke::SystemTime();
  fcb.record.attributes = directory ? FILE_ATTRIBUTE_DIRECTORY
                                    : ((request.attributes & (FILE_ATTRIBUTE_VALID_SET_FLAGS | FILE_ATTRIBUTE_ENCRYPTED) &
                                        ~FILE_ATTRIBUTE_NORMAL) |
                                       FILE_ATTRIBUTE_ARCHIVE);
  fcb.record.creation_time = fcb.record.last_access_time = fcb.record.last_write_time = fcb.record.change_time = now;
  fcb.header.AllocationSize.QuadPart = directory ? 0 : reserve;
  return SaveRecord(fcb);
}

NTSTATUS CheckShare(Fcb* fcb, PFILE_OBJECT file, const Request& request, bool first_open) {
  if (first_open) {
    IoSetShareAccess(request.access, request.share, file, &fcb->share);
    return STATUS_SUCCESS;
  }
  return IoCheckShareAccess(request.access, request.share, file, &fcb->share, TRUE);
}

NTSTATUS Truncate(PFILE_OBJECT file, Fcb* fcb, const Request& request) {
  const ULONG hidden_system = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  // Overwriting a hidden or system file must say so, as XP requires.
  if ((fcb->record.attributes & hidden_system & ~request.attributes) != 0) return STATUS_ACCESS_DENIED;
  NTSTATUS status = SetEndOfFile(file, *fcb, 0);
  if (!NT_SUCCESS(status)) return status;
  fcb->record.attributes = (request.attributes & FILE_ATTRIBUTE_VALID_SET_FLAGS & ~FILE_ATTRIBUTE_NORMAL) |
                           FILE_ATTRIBUTE_ARCHIVE;
  fcb->header.ValidDataLength.QuadPart = 0;
  return SaveRecord(*fcb);
}

}  // namespace

NTSTATUS Create(PDEVICE_OBJECT device, PIRP irp) {
  Vcb& vcb = *VcbOf(device);
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  PFILE_OBJECT file = stack->FileObject;
  Request request{stack->Parameters.Create.Options >> 24, stack->Parameters.Create.Options & FILE_VALID_OPTION_FLAGS,
                  stack->Parameters.Create.SecurityContext->DesiredAccess, stack->Parameters.Create.ShareAccess,
                  stack->Parameters.Create.FileAttributes, (stack->Flags & SL_OPEN_TARGET_DIRECTORY) != 0};
  if (file->FileName.Length == 0 && file->RelatedFileObject == nullptr) return OpenVolume(vcb, file, request, irp);
  std::vector<std::u16string> components;
  NTSTATUS status = FullPath(file, &components);
  if (!NT_SUCCESS(status)) return status;
  const bool wants_write = (request.access & kWriteAccess) != 0 || request.disposition != FILE_OPEN;
  if (vcb.read_only && wants_write) return STATUS_MEDIA_WRITE_PROTECTED;
  if (request.target_directory) return OpenTargetDirectory(vcb, file, components, request, irp);

  std::filesystem::path host;
  std::vector<std::u16string> disk_names;
  const size_t found = Resolve(vcb, components, &host, &disk_names);
  const bool exists = found == components.size();
  if (!exists && found + 1 < components.size()) return STATUS_OBJECT_PATH_NOT_FOUND;
  if (!exists && found > 0 && !std::filesystem::is_directory(host)) return STATUS_OBJECT_PATH_NOT_FOUND;
  const bool want_directory = (request.options & FILE_DIRECTORY_FILE) != 0;

  if (exists) {
    const bool is_directory = components.empty() || std::filesystem::is_directory(host);
    if (request.disposition == FILE_CREATE) return STATUS_OBJECT_NAME_COLLISION;
    if (want_directory && !is_directory) return STATUS_NOT_A_DIRECTORY;
    if ((request.options & FILE_NON_DIRECTORY_FILE) && is_directory) return STATUS_FILE_IS_A_DIRECTORY;
    const bool overwrite = request.disposition == FILE_OVERWRITE || request.disposition == FILE_OVERWRITE_IF ||
                           request.disposition == FILE_SUPERSEDE;
    if (overwrite && is_directory) return STATUS_INVALID_PARAMETER;
    const bool new_fcb = vcb.fcbs.count(KeyOf(JoinPath(disk_names))) == 0;
    Fcb* fcb = nullptr;
    status = FindOrCreateFcb(vcb, JoinPath(disk_names), is_directory, &fcb);
    if (!NT_SUCCESS(status)) return status;
    auto release_if_unused = [&] {
      if (new_fcb) ReleaseFcb(fcb);
    };
    if (fcb->delete_pending) {
      release_if_unused();
      return STATUS_DELETE_PENDING;
    }
    const bool read_only = (fcb->record.attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (read_only && !is_directory &&
        ((request.access & (FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0 || overwrite)) {
      release_if_unused();
      return STATUS_ACCESS_DENIED;
    }
    if (read_only && (request.options & FILE_DELETE_ON_CLOSE)) {
      release_if_unused();
      return STATUS_CANNOT_DELETE;
    }
    status = CheckShare(fcb, file, request, fcb->cleanup_count == 0);
    if (!NT_SUCCESS(status)) {
      release_if_unused();
      return status;
    }
    if (overwrite) {
      status = Truncate(file, fcb, request);
      if (!NT_SUCCESS(status)) {
        IoRemoveShareAccess(file, &fcb->share);
        release_if_unused();
        return status;
      }
    }
    Attach(file, fcb, request);
    irp->IoStatus.Information = request.disposition == FILE_SUPERSEDE ? FILE_SUPERSEDED
                                : overwrite                           ? FILE_OVERWRITTEN
                                                                      : FILE_OPENED;
    return STATUS_SUCCESS;
  }

  if (request.disposition == FILE_OPEN || request.disposition == FILE_OVERWRITE) {
    return STATUS_OBJECT_NAME_NOT_FOUND;
  }
  std::vector<std::u16string> new_names = disk_names;
  new_names.push_back(components.back());
  const std::u16string path = JoinPath(new_names);
  const LONGLONG reserve = RoundToCluster(irp->Overlay.AllocationSize.QuadPart);
  if (!want_directory) {
    status = ChargeAllocation(vcb, 0, reserve);
    if (!NT_SUCCESS(status)) return status;
  }
  const std::filesystem::path made = host / rtl::ToUtf8(components.back());
  status = MakeOnDisk(vcb, made, want_directory);
  Fcb* fcb = nullptr;
  if (NT_SUCCESS(status)) status = FindOrCreateFcb(vcb, path, want_directory, &fcb);
  if (NT_SUCCESS(status)) status = StartRecord(*fcb, request, want_directory, reserve);
  if (!NT_SUCCESS(status)) {
    // Nothing of a failed create stays: the file, its stream and what was charged for it.
    if (fcb != nullptr) ReleaseFcb(fcb);
    std::error_code ignored;
    if (std::filesystem::exists(made, ignored)) std::filesystem::remove(made, ignored);
    if (!want_directory) ChargeAllocation(vcb, reserve, 0);
    return status;
  }
  IoSetShareAccess(request.access, request.share, file, &fcb->share);
  Attach(file, fcb, request);
  irp->IoStatus.Information = FILE_CREATED;
  return STATUS_SUCCESS;
}

NTSTATUS Cleanup(PDEVICE_OBJECT, PIRP irp) {
  PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  Fcb* fcb = FcbOf(file);
  if (fcb == nullptr) return STATUS_SUCCESS;
  auto* ccb = static_cast<Ccb*>(file->FsContext2);
  if (ccb->delete_on_close) fcb->delete_pending = true;
  IoRemoveShareAccess(file, &fcb->share);
  --fcb->cleanup_count;
  const bool delete_now = fcb->cleanup_count == 0 && fcb->delete_pending;
  LARGE_INTEGER zero{};
  CcUninitializeCacheMap(file, delete_now ? &zero : nullptr, nullptr);
  file->Flags |= FO_CLEANUP_COMPLETE;
  if (fcb->cleanup_count != 0 || fcb->volume) return STATUS_SUCCESS;
  Vcb& vcb = *fcb->vcb;
  if (delete_now) {
    CcPurgeCacheSection(&fcb->section, nullptr, 0, TRUE);
    CloseHostFile(*fcb);
    std::error_code error;
    std::filesystem::remove(HostPath(vcb, fcb->path), error);
    ChargeAllocation(vcb, fcb->header.AllocationSize.QuadPart, 0);
    vcb.store->Remove(fcb->key);
    // The name is free again at once, even while file objects of the deleted stream remain.
    vcb.fcbs.erase(fcb->key);
    fcb->key += u"\x01deleted";
    return STATUS_SUCCESS;
  }
  // Allocation beyond the end of file is given back when the last handle goes, as NTFS does.
  if (!fcb->directory) {
    const LONGLONG trimmed = RoundToCluster(fcb->header.FileSize.QuadPart);
    if (trimmed < fcb->header.AllocationSize.QuadPart) {
      ChargeAllocation(vcb, fcb->header.AllocationSize.QuadPart, trimmed);
      fcb->header.AllocationSize.QuadPart = trimmed;
    }
  }
  return fcb->record_changed ? SaveRecord(*fcb) : STATUS_SUCCESS;
}

NTSTATUS Close(PDEVICE_OBJECT, PIRP irp) {
  PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  Fcb* fcb = FcbOf(file);
  if (fcb == nullptr) return STATUS_SUCCESS;
  delete static_cast<Ccb*>(file->FsContext2);
  file->FsContext2 = nullptr;
  --fcb->open_count;
  if (fcb->open_count == 0 && fcb->vcb != nullptr && fcb->vcb->fcbs.count(fcb->key) == 0) {
    // Already unlinked from the table (deleted): nothing else will find it.
    fcb->vcb = nullptr;
  }
  // The stream's last file object: what the lazy writer changed since the last handle went, and the row settled.
  if (fcb->open_count == 0 && fcb->vcb != nullptr && (fcb->record_changed || (fcb->stored && !fcb->stored_settled))) {
    SaveRecord(*fcb, /*settled=*/true);
  }
  ReleaseFcb(fcb);
  return STATUS_SUCCESS;
}

}  // namespace xp::ntos::fs
