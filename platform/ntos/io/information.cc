// Query and set information on files and volumes. The I/O manager checks lengths and the handle's access,
// answers the file position and the device information itself, opens a rename's target directory and refuses a
// rename across volumes (STATUS_NOT_SAME_DEVICE); everything else goes to the file system in a system buffer.
#include <cstring>
#include <mutex>

#include "include/internal/io.h"
#include "include/internal/io_calls.h"
#include "include/internal/ke.h"

namespace xp::ntos::io {
namespace {

struct ClassRule {
  ULONG minimum_length;
  ACCESS_MASK query_access;
  ACCESS_MASK set_access;
  bool query_allowed;
  bool set_allowed;
};

bool RuleFor(FILE_INFORMATION_CLASS information_class, ClassRule* rule) {
  switch (information_class) {
    case FileBasicInformation:
      *rule = {sizeof(FILE_BASIC_INFORMATION), FILE_READ_ATTRIBUTES, FILE_WRITE_ATTRIBUTES, true, true};
      return true;
    case FileStandardInformation:
      *rule = {sizeof(FILE_STANDARD_INFORMATION), 0, 0, true, false};
      return true;
    case FileNameInformation:
      *rule = {sizeof(FILE_NAME_INFORMATION), 0, 0, true, false};
      return true;
    case FilePositionInformation:
      *rule = {sizeof(FILE_POSITION_INFORMATION), 0, 0, true, true};
      return true;
    case FileNetworkOpenInformation:
      *rule = {sizeof(FILE_NETWORK_OPEN_INFORMATION), FILE_READ_ATTRIBUTES, 0, true, false};
      return true;
    case FileRenameInformation:
      *rule = {sizeof(FILE_RENAME_INFORMATION), 0, DELETE, false, true};
      return true;
    case FileDispositionInformation:
      *rule = {sizeof(FILE_DISPOSITION_INFORMATION), 0, DELETE, false, true};
      return true;
    case FileAllocationInformation:
      *rule = {sizeof(FILE_ALLOCATION_INFORMATION), 0, FILE_WRITE_DATA, false, true};
      return true;
    case FileEndOfFileInformation:
      *rule = {sizeof(FILE_END_OF_FILE_INFORMATION), 0, FILE_WRITE_DATA, false, true};
      return true;
    default:
      return false;
  }
}

// Sends a buffered information request; `query` copies the answer back into `information`.
NTSTATUS SendBuffered(PFILE_OBJECT file, UCHAR major, PVOID information, ULONG length, ULONG information_class,
                      bool query, PFILE_OBJECT target, BOOLEAN replace, PIO_STATUS_BLOCK io_status) {
  PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);
  PIRP irp = BuildIrp(top, file, major, 0);
  irp->AssociatedIrp.SystemBuffer = ExAllocatePoolWithTag(NonPagedPool, length, tag::kIoBuffer);
  if (irp->AssociatedIrp.SystemBuffer == nullptr) {
    IoFreeIrp(irp);
    ObDereferenceObject(file);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  irp->Flags = IRP_BUFFERED_IO | IRP_DEALLOCATE_BUFFER | IRP_SYNCHRONOUS_API | (query ? IRP_INPUT_OPERATION : 0);
  if (query) {
    std::memset(irp->AssociatedIrp.SystemBuffer, 0, length);
    irp->UserBuffer = information;
    ExtraOf(irp)->user_buffer_length = length;
  } else {
    std::memcpy(irp->AssociatedIrp.SystemBuffer, information, length);
  }
  PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
  if (major == IRP_MJ_QUERY_VOLUME_INFORMATION) {
    stack->Parameters.QueryVolume.Length = length;
    stack->Parameters.QueryVolume.FsInformationClass = static_cast<FS_INFORMATION_CLASS>(information_class);
  } else {
    stack->Parameters.SetFile.Length = length;
    stack->Parameters.SetFile.FileInformationClass = static_cast<FILE_INFORMATION_CLASS>(information_class);
    stack->Parameters.SetFile.FileObject = target;
    stack->Parameters.SetFile.ReplaceIfExists = replace;
  }
  ULONG_PTR transferred = 0;
  const NTSTATUS status = Send(top, irp, &transferred);
  io_status->Status = status;
  io_status->Information = transferred;
  return status;
}

// Opens the directory a rename moves into; the file object keeps the full target name.
NTSTATUS OpenRenameTarget(PFILE_OBJECT file, const FILE_RENAME_INFORMATION* rename, ULONG length,
                          HANDLE* target_handle, PFILE_OBJECT* target) {
  if (length < offsetof(FILE_RENAME_INFORMATION, FileName) + rename->FileNameLength) {
    return STATUS_INVALID_PARAMETER;
  }
  std::u16string name(rename->FileName, rename->FileNameLength / sizeof(WCHAR));
  UNICODE_STRING counted{static_cast<USHORT>(name.size() * sizeof(WCHAR)),
                         static_cast<USHORT>(name.size() * sizeof(WCHAR)), name.data()};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                             rename->RootDirectory, nullptr);
  IO_STATUS_BLOCK io_status{};
  ke::PreviousModeScope kernel(KernelMode);
  const NTSTATUS status =
      CreateFile(target_handle, FILE_WRITE_DATA | SYNCHRONIZE, &attributes, &io_status, nullptr, 0,
                 FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, 0, SL_OPEN_TARGET_DIRECTORY, target);
  if (!NT_SUCCESS(status)) return status;
  if (IoGetRelatedDeviceObject(*target) != IoGetRelatedDeviceObject(file)) {
    Close(*target_handle);
    return STATUS_NOT_SAME_DEVICE;
  }
  return STATUS_SUCCESS;
}

NTSTATUS Information(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                     FILE_INFORMATION_CLASS information_class, bool query) {
  ClassRule rule{};
  if (!RuleFor(information_class, &rule)) {
    // Classes no caller of this system uses are refused loudly rather than half-done.
    return information_class > 0 && information_class < FileMaximumInformation ? STATUS_NOT_IMPLEMENTED
                                                                                : STATUS_INVALID_INFO_CLASS;
  }
  if (!(query ? rule.query_allowed : rule.set_allowed)) return STATUS_INVALID_INFO_CLASS;
  if (length < rule.minimum_length) return STATUS_INFO_LENGTH_MISMATCH;
  const KPROCESSOR_MODE mode = ke::PreviousMode();
  if (mode == UserMode && !ValidUserRange(information, length)) return STATUS_ACCESS_VIOLATION;
  PFILE_OBJECT file = nullptr;
  ACCESS_MASK granted = 0;
  NTSTATUS status = ReferenceFileByHandle(handle, &file, &granted);
  if (!NT_SUCCESS(status)) return status;
  const ACCESS_MASK needed = query ? rule.query_access : rule.set_access;
  if (mode == UserMode && (granted & needed) != needed) {
    ObDereferenceObject(file);
    return STATUS_ACCESS_DENIED;
  }
  if (information_class == FilePositionInformation) {
    auto* position = static_cast<PFILE_POSITION_INFORMATION>(information);
    if (query) {
      position->CurrentByteOffset = file->CurrentByteOffset;
      io_status->Information = sizeof(FILE_POSITION_INFORMATION);
    } else if ((file->Flags & FO_NO_INTERMEDIATE_BUFFERING) && position->CurrentByteOffset.QuadPart % 512 != 0) {
      ObDereferenceObject(file);
      return STATUS_INVALID_PARAMETER;
    } else {
      file->CurrentByteOffset = position->CurrentByteOffset;
      io_status->Information = 0;
    }
    io_status->Status = STATUS_SUCCESS;
    ObDereferenceObject(file);
    return STATUS_SUCCESS;
  }
  HANDLE target_handle = nullptr;
  PFILE_OBJECT target = nullptr;
  BOOLEAN replace = FALSE;
  if (information_class == FileRenameInformation) {
    const auto* rename = static_cast<const FILE_RENAME_INFORMATION*>(information);
    replace = rename->ReplaceIfExists;
    const std::u16string_view name(rename->FileName, rename->FileNameLength / sizeof(WCHAR));
    // A bare new name renames within the directory; anything else names a target directory to open.
    if (rename->RootDirectory != nullptr || name.find(u'\\') != std::u16string_view::npos) {
      status = OpenRenameTarget(file, rename, length, &target_handle, &target);
      if (!NT_SUCCESS(status)) {
        ObDereferenceObject(file);
        return status;
      }
    }
  }
  status = SendBuffered(file, query ? IRP_MJ_QUERY_INFORMATION : IRP_MJ_SET_INFORMATION, information, length,
                        information_class, query, target, replace, io_status);
  if (target_handle != nullptr) Close(target_handle);
  ObDereferenceObject(file);
  return status;
}

}  // namespace

NTSTATUS QueryInformation(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                          FILE_INFORMATION_CLASS information_class) {
  return Information(handle, io_status, information, length, information_class, true);
}

NTSTATUS SetInformation(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                        FILE_INFORMATION_CLASS information_class) {
  return Information(handle, io_status, information, length, information_class, false);
}

NTSTATUS QueryVolumeInformation(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                                FS_INFORMATION_CLASS information_class) {
  ULONG minimum = 0;
  switch (information_class) {
    case FileFsVolumeInformation:
      minimum = sizeof(FILE_FS_VOLUME_INFORMATION);
      break;
    case FileFsSizeInformation:
      minimum = sizeof(FILE_FS_SIZE_INFORMATION);
      break;
    case FileFsDeviceInformation:
      minimum = sizeof(FILE_FS_DEVICE_INFORMATION);
      break;
    case FileFsAttributeInformation:
      minimum = sizeof(FILE_FS_ATTRIBUTE_INFORMATION);
      break;
    case FileFsFullSizeInformation:
      minimum = sizeof(FILE_FS_FULL_SIZE_INFORMATION);
      break;
    default:
      return STATUS_NOT_IMPLEMENTED;
  }
  if (length < minimum) return STATUS_INFO_LENGTH_MISMATCH;
  if (ke::PreviousMode() == UserMode && !ValidUserRange(information, length)) return STATUS_ACCESS_VIOLATION;
  PFILE_OBJECT file = nullptr;
  NTSTATUS status = ReferenceFileByHandle(handle, &file, nullptr);
  if (!NT_SUCCESS(status)) return status;
  if (information_class == FileFsDeviceInformation) {
    // Answered from the real device, never by the file system.
    auto* device = static_cast<PFILE_FS_DEVICE_INFORMATION>(information);
    device->DeviceType = file->DeviceObject->DeviceType;
    device->Characteristics = file->DeviceObject->Characteristics;
    io_status->Status = STATUS_SUCCESS;
    io_status->Information = sizeof(FILE_FS_DEVICE_INFORMATION);
    ObDereferenceObject(file);
    return STATUS_SUCCESS;
  }
  status = SendBuffered(file, IRP_MJ_QUERY_VOLUME_INFORMATION, information, length, information_class, true,
                        nullptr, FALSE, io_status);
  ObDereferenceObject(file);
  return status;
}

}  // namespace xp::ntos::io
