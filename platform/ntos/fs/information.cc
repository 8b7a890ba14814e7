// Query and set information on a model volume: basic, standard, name, network-open; attributes and times,
// end of file, allocation, delete disposition and rename (the side store follows), and volume information.
#include <algorithm>
#include <cstring>
#include <system_error>

#include "fs/model_fs.h"
#include "include/internal/ke.h"
#include "include/internal/rtl.h"

namespace xp::ntos::fs {
namespace {

NTSTATUS QueryName(const Fcb& fcb, PVOID buffer, ULONG length, ULONG_PTR* information) {
  auto* name = static_cast<PFILE_NAME_INFORMATION>(buffer);
  const ULONG header = offsetof(FILE_NAME_INFORMATION, FileName);
  const ULONG bytes = static_cast<ULONG>(fcb.path.size() * sizeof(WCHAR));
  name->FileNameLength = bytes;
  const ULONG room = length - header;
  std::memcpy(name->FileName, fcb.path.data(), std::min(room, bytes));
  *information = header + std::min(room, bytes);
  return room < bytes ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
}

NTSTATUS SetBasic(Fcb& fcb, const FILE_BASIC_INFORMATION& basic) {
  const FileRecord before = fcb.record;
  if (basic.CreationTime.QuadPart > 0) fcb.record.creation_time = basic.CreationTime.QuadPart;
  if (basic.LastAccessTime.QuadPart > 0) fcb.record.last_access_time = basic.LastAccessTime.QuadPart;
  if (basic.LastWriteTime.QuadPart > 0) fcb.record.last_write_time = basic.LastWriteTime.QuadPart;
  if (basic.ChangeTime.QuadPart > 0) fcb.record.change_time = basic.ChangeTime.QuadPart;
  if (basic.FileAttributes != 0) {
    ULONG attributes = basic.FileAttributes & FILE_ATTRIBUTE_VALID_SET_FLAGS & ~FILE_ATTRIBUTE_NORMAL;
    // The flags the file system owns stay as they are.
    const ULONG kept = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE |
                       FILE_ATTRIBUTE_ENCRYPTED | FILE_ATTRIBUTE_REPARSE_POINT;
    fcb.record.attributes = (fcb.record.attributes & kept) | (attributes & ~kept);
  }
  const NTSTATUS status = SaveRecord(fcb);
  // A change the store could not keep is no change.
  if (!NT_SUCCESS(status)) fcb.record = before;
  return status;
}

NTSTATUS SetDisposition(PFILE_OBJECT file, Fcb& fcb, bool delete_file) {
  if (!delete_file) {
    fcb.delete_pending = false;
    file->DeletePending = FALSE;
    return STATUS_SUCCESS;
  }
  if (fcb.record.attributes & FILE_ATTRIBUTE_READONLY) return STATUS_CANNOT_DELETE;
  if (fcb.path == u"\\" || fcb.volume) return STATUS_CANNOT_DELETE;
  if (fcb.directory) {
    std::error_code error;
    if (!std::filesystem::is_empty(HostPath(*fcb.vcb, fcb.path), error)) return STATUS_DIRECTORY_NOT_EMPTY;
  }
  fcb.delete_pending = true;
  file->DeletePending = TRUE;
  return STATUS_SUCCESS;
}

NTSTATUS SetAllocation(PFILE_OBJECT file, Fcb& fcb, LONGLONG allocation) {
  if (fcb.directory) return STATUS_INVALID_PARAMETER;
  if (allocation < fcb.header.FileSize.QuadPart) return SetEndOfFile(file, fcb, allocation);
  const LONGLONG rounded = RoundToCluster(allocation);
  const NTSTATUS status = ChargeAllocation(*fcb.vcb, fcb.header.AllocationSize.QuadPart, rounded);
  if (NT_SUCCESS(status)) fcb.header.AllocationSize.QuadPart = rounded;
  return status;
}

// Streams only the cache still holds (every handle closed) give way to a rename: their data is written back
// (`keep_data`) or, for a target the rename replaces, dropped with it, and they are let go, as the cache manager's
// reference never blocks a rename on XP. A stream with a handle open refuses it: ERROR_ACCESS_DENIED.
bool OnlyCached(const Fcb& fcb) { return fcb.cleanup_count == 0; }

NTSTATUS LetGo(Vcb& vcb, Fcb* fcb, bool keep_data) {
  if (keep_data) {
    IO_STATUS_BLOCK flushed{};
    CcFlushCache(&fcb->section, nullptr, 0, &flushed);
    if (!NT_SUCCESS(flushed.Status)) return flushed.Status;
    if (fcb->record_changed) SaveRecord(*fcb);
  }
  // Unlinked first: the purge may close the stream's last file object, and nothing may find the name meanwhile.
  vcb.fcbs.erase(fcb->key);
  fcb->key += u"\x01let go";
  CcPurgeCacheSection(&fcb->section, nullptr, 0, TRUE);
  return STATUS_SUCCESS;
}

// Renames within the volume. The target is a directory opened for the rename (its file object names the full
// target path) or, without one, a new name in the same directory. An existing target is replaced in one host step
// (so no program ever sees the name missing), and the side store follows in one transaction.
NTSTATUS Rename(Fcb& fcb, PIO_STACK_LOCATION stack, const FILE_RENAME_INFORMATION& rename) {
  Vcb& vcb = *fcb.vcb;
  if (fcb.path == u"\\" || fcb.volume) return STATUS_INVALID_PARAMETER;
  std::u16string new_name;
  std::u16string directory;
  if (PFILE_OBJECT target = stack->Parameters.SetFile.FileObject) {
    directory = FcbOf(target)->path;
    new_name = LastComponent(std::u16string(rtl::View(target->FileName)));
  } else {
    directory = ParentOf(fcb.path);
    new_name.assign(rename.FileName, rename.FileNameLength / sizeof(WCHAR));
  }
  std::vector<std::u16string> check;
  NTSTATUS status = STATUS_SUCCESS;
  if (!SplitPath(new_name, &check, &status) || check.size() != 1) return STATUS_OBJECT_NAME_INVALID;
  const std::u16string new_path = (directory == u"\\" ? u"" : directory) + u"\\" + new_name;
  const std::u16string new_key = KeyOf(new_path);
  if (new_key.starts_with(fcb.key + u"\\")) return STATUS_INVALID_PARAMETER;
  // Open files beneath a folder would keep stale names.
  std::vector<Fcb*> beneath;
  if (fcb.directory) {
    for (const auto& [key, other] : vcb.fcbs) {
      if (other == &fcb || !key.starts_with(fcb.key + u"\\")) continue;
      if (!OnlyCached(*other)) return STATUS_ACCESS_DENIED;
      beneath.push_back(other);
    }
  }
  const std::filesystem::path old_host = HostPath(vcb, fcb.path);
  const std::filesystem::path new_host = HostPath(vcb, directory) / rtl::ToUtf8(new_name);
  // The host name the file takes first: a target that exists is replaced under its own spelling, then renamed.
  std::filesystem::path replaced_host = new_host;
  Fcb* replaced = nullptr;
  LONGLONG replaced_allocation = 0;
  if (new_key != fcb.key) {
    std::vector<std::u16string> components;
    SplitPath(new_path, &components, &status);
    std::filesystem::path existing;
    std::vector<std::u16string> disk_names;
    if (Resolve(vcb, components, &existing, &disk_names) == components.size()) {
      if (!rename.ReplaceIfExists) return STATUS_OBJECT_NAME_COLLISION;
      if (std::filesystem::is_directory(existing)) return STATUS_ACCESS_DENIED;
      if (const auto open = vcb.fcbs.find(new_key); open != vcb.fcbs.end()) {
        replaced = open->second;
        if (!OnlyCached(*replaced)) return STATUS_ACCESS_DENIED;
        replaced_allocation = replaced->header.AllocationSize.QuadPart;
      } else {
        std::error_code error;
        const auto size = std::filesystem::file_size(existing, error);
        replaced_allocation = error ? 0 : RoundToCluster(static_cast<LONGLONG>(size));
      }
      replaced_host = existing;
    }
  }
  for (Fcb* other : beneath) {
    status = LetGo(vcb, other, /*keep_data=*/true);
    if (!NT_SUCCESS(status)) return status;
  }
  status = vcb.store->Rename(fcb.key, new_key);
  if (!NT_SUCCESS(status)) return status;
  if (replaced != nullptr) LetGo(vcb, replaced, /*keep_data=*/false);
  std::error_code error;
  std::filesystem::rename(old_host, replaced_host, error);
  if (!error && replaced_host != new_host) std::filesystem::rename(replaced_host, new_host, error);
  if (error) {
    vcb.store->Rename(new_key, fcb.key);
    return STATUS_ACCESS_DENIED;
  }
  ChargeAllocation(vcb, replaced_allocation, 0);
  vcb.fcbs.erase(fcb.key);
  fcb.path = new_path;
  fcb.key = new_key;
  vcb.fcbs[new_key] = &fcb;
  fcb.record.change_time = ke::SystemTime();
  return SaveRecord(fcb);
}

}  // namespace

ULONG ReportedAttributes(const FileRecord& record, bool directory) {
  ULONG attributes = record.attributes | (directory ? FILE_ATTRIBUTE_DIRECTORY : 0);
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

void FillBasic(const Fcb& fcb, PFILE_BASIC_INFORMATION basic) {
  basic->CreationTime.QuadPart = fcb.record.creation_time;
  basic->LastAccessTime.QuadPart = fcb.record.last_access_time;
  basic->LastWriteTime.QuadPart = fcb.record.last_write_time;
  basic->ChangeTime.QuadPart = fcb.record.change_time;
  basic->FileAttributes = ReportedAttributes(fcb.record, fcb.directory);
}

void FillStandard(const Fcb& fcb, PFILE_STANDARD_INFORMATION standard) {
  standard->AllocationSize = fcb.header.AllocationSize;
  standard->EndOfFile = fcb.header.FileSize;
  standard->NumberOfLinks = 1;
  standard->DeletePending = fcb.delete_pending;
  standard->Directory = fcb.directory;
}

void FillNetworkOpen(const Fcb& fcb, PFILE_NETWORK_OPEN_INFORMATION open) {
  open->CreationTime.QuadPart = fcb.record.creation_time;
  open->LastAccessTime.QuadPart = fcb.record.last_access_time;
  open->LastWriteTime.QuadPart = fcb.record.last_write_time;
  open->ChangeTime.QuadPart = fcb.record.change_time;
  open->AllocationSize = fcb.header.AllocationSize;
  open->EndOfFile = fcb.header.FileSize;
  open->FileAttributes = ReportedAttributes(fcb.record, fcb.directory);
}

NTSTATUS QueryInformation(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  Fcb* fcb = FcbOf(stack->FileObject);
  if (fcb == nullptr) return STATUS_INVALID_PARAMETER;
  void* buffer = irp->AssociatedIrp.SystemBuffer;
  const ULONG length = stack->Parameters.QueryFile.Length;
  switch (stack->Parameters.QueryFile.FileInformationClass) {
    case FileBasicInformation:
      if (length < sizeof(FILE_BASIC_INFORMATION)) return STATUS_INFO_LENGTH_MISMATCH;
      FillBasic(*fcb, static_cast<PFILE_BASIC_INFORMATION>(buffer));
      irp->IoStatus.Information = sizeof(FILE_BASIC_INFORMATION);
      return STATUS_SUCCESS;
    case FileStandardInformation:
      if (length < sizeof(FILE_STANDARD_INFORMATION)) return STATUS_INFO_LENGTH_MISMATCH;
      FillStandard(*fcb, static_cast<PFILE_STANDARD_INFORMATION>(buffer));
      irp->IoStatus.Information = sizeof(FILE_STANDARD_INFORMATION);
      return STATUS_SUCCESS;
    case FileNetworkOpenInformation:
      if (length < sizeof(FILE_NETWORK_OPEN_INFORMATION)) return STATUS_INFO_LENGTH_MISMATCH;
      FillNetworkOpen(*fcb, static_cast<PFILE_NETWORK_OPEN_INFORMATION>(buffer));
      irp->IoStatus.Information = sizeof(FILE_NETWORK_OPEN_INFORMATION);
      return STATUS_SUCCESS;
    case FileNameInformation:
      if (length < offsetof(FILE_NAME_INFORMATION, FileName)) return STATUS_INFO_LENGTH_MISMATCH;
      return QueryName(*fcb, buffer, length, &irp->IoStatus.Information);
    default:
      return STATUS_INVALID_PARAMETER;
  }
}

NTSTATUS SetInformation(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  PFILE_OBJECT file = stack->FileObject;
  Fcb* fcb = FcbOf(file);
  if (fcb == nullptr) return STATUS_INVALID_PARAMETER;
  if (fcb->vcb->read_only) return STATUS_MEDIA_WRITE_PROTECTED;
  void* buffer = irp->AssociatedIrp.SystemBuffer;
  switch (stack->Parameters.SetFile.FileInformationClass) {
    case FileBasicInformation:
      return SetBasic(*fcb, *static_cast<PFILE_BASIC_INFORMATION>(buffer));
    case FileDispositionInformation:
      return SetDisposition(file, *fcb, static_cast<PFILE_DISPOSITION_INFORMATION>(buffer)->DeleteFile);
    case FileEndOfFileInformation:
      if (fcb->directory) return STATUS_INVALID_PARAMETER;
      return SetEndOfFile(file, *fcb, static_cast<PFILE_END_OF_FILE_INFORMATION>(buffer)->EndOfFile.QuadPart);
    case FileAllocationInformation:
      return SetAllocation(file, *fcb, static_cast<PFILE_ALLOCATION_INFORMATION>(buffer)->AllocationSize.QuadPart);
    case FileRenameInformation:
      return Rename(*fcb, stack, *static_cast<PFILE_RENAME_INFORMATION>(buffer));
    default:
      return STATUS_INVALID_PARAMETER;
  }
}

NTSTATUS QueryVolumeInformation(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  Vcb& vcb = *VcbOf(device);
  void* buffer = irp->AssociatedIrp.SystemBuffer;
  const ULONG length = stack->Parameters.QueryVolume.Length;
  uint64_t free_bytes = 0;
  if (const NTSTATUS status = vcb.store->FreeBytes(&free_bytes); !NT_SUCCESS(status)) return status;
  const uint64_t free_units = free_bytes / kClusterSize;
  const uint64_t total_units = std::max(vcb.store->TotalBytes(), free_bytes) / kClusterSize;
  switch (stack->Parameters.QueryVolume.FsInformationClass) {
    case FileFsVolumeInformation: {
      auto* volume = static_cast<PFILE_FS_VOLUME_INFORMATION>(buffer);
      volume->VolumeCreationTime.QuadPart = 0;
      volume->VolumeSerialNumber = vcb.disk->serial;
      volume->VolumeLabelLength = 0;
      volume->SupportsObjects = vcb.disk->file_system == u"NTFS";
      irp->IoStatus.Information = offsetof(FILE_FS_VOLUME_INFORMATION, VolumeLabel);
      return STATUS_SUCCESS;
    }
    case FileFsSizeInformation: {
      auto* size = static_cast<PFILE_FS_SIZE_INFORMATION>(buffer);
      size->TotalAllocationUnits.QuadPart = static_cast<LONGLONG>(total_units);
      size->AvailableAllocationUnits.QuadPart = static_cast<LONGLONG>(free_units);
      size->SectorsPerAllocationUnit = kClusterSize / kSectorSize;
      size->BytesPerSector = kSectorSize;
      irp->IoStatus.Information = sizeof(FILE_FS_SIZE_INFORMATION);
      return STATUS_SUCCESS;
    }
    case FileFsFullSizeInformation: {
      auto* size = static_cast<PFILE_FS_FULL_SIZE_INFORMATION>(buffer);
      size->TotalAllocationUnits.QuadPart = static_cast<LONGLONG>(total_units);
      size->CallerAvailableAllocationUnits.QuadPart = static_cast<LONGLONG>(free_units);
      size->ActualAvailableAllocationUnits.QuadPart = static_cast<LONGLONG>(free_units);
      size->SectorsPerAllocationUnit = kClusterSize / kSectorSize;
      size->BytesPerSector = kSectorSize;
      irp->IoStatus.Information = sizeof(FILE_FS_FULL_SIZE_INFORMATION);
      return STATUS_SUCCESS;
    }
    case FileFsAttributeInformation: {
      auto* attribute = static_cast<PFILE_FS_ATTRIBUTE_INFORMATION>(buffer);
      const bool ntfs = vcb.disk->file_system == u"NTFS";
      attribute->FileSystemAttributes =
          FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK |
          (ntfs ? FILE_PERSISTENT_ACLS | FILE_FILE_COMPRESSION | FILE_SUPPORTS_SPARSE_FILES |
                      FILE_SUPPORTS_REPARSE_POINTS | FILE_SUPPORTS_ENCRYPTION
                : 0);
      attribute->MaximumComponentNameLength = 255;
      const std::u16string& name = vcb.disk->file_system;
      const ULONG header = offsetof(FILE_FS_ATTRIBUTE_INFORMATION, FileSystemName);
      const ULONG bytes = static_cast<ULONG>(name.size() * sizeof(WCHAR));
      const ULONG copied = std::min(bytes, length - header);
      attribute->FileSystemNameLength = copied;
      std::memcpy(attribute->FileSystemName, name.data(), copied);
      irp->IoStatus.Information = header + copied;
      return copied < bytes ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
    }
    default:
      return STATUS_INVALID_PARAMETER;
  }
}

}  // namespace xp::ntos::fs
