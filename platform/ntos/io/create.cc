// Opening and closing files: the name is parsed through the namespace to a device (mounting a storage device at
// its first open), a file object is built and IRP_MJ_CREATE goes to the top of the volume's stack. A handle's
// close sends IRP_MJ_CLEANUP; the last reference to the file object sends IRP_MJ_CLOSE.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "include/internal/io.h"
#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"
#include "include/internal/rtl.h"

using namespace xp::ntos;

namespace xp::ntos::io {
namespace {

ACCESS_MASK MapGenericAccess(ACCESS_MASK access) {
  if (access & MAXIMUM_ALLOWED) access = (access & ~MAXIMUM_ALLOWED) | FILE_ALL_ACCESS;
  if (access & GENERIC_READ) access |= FILE_GENERIC_READ;
  if (access & GENERIC_WRITE) access |= FILE_GENERIC_WRITE;
  if (access & GENERIC_EXECUTE) access |= FILE_GENERIC_EXECUTE;
  if (access & GENERIC_ALL) access |= FILE_ALL_ACCESS;
  return access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

// A request that no longer belongs to a handle: cleanup at handle close, close at the last reference.
void SendFileRequest(PDEVICE_OBJECT device, PFILE_OBJECT file, UCHAR major) {
  ke::PreviousModeScope kernel(KernelMode);
  PIRP irp = BuildIrp(device, nullptr, major, 0);
  irp->Flags = IRP_CLOSE_OPERATION | IRP_SYNCHRONOUS_API;
  IoGetNextIrpStackLocation(irp)->FileObject = file;
  Send(device, irp);
}

void TearDownFile(void* body) {
  auto* file = static_cast<PFILE_OBJECT>(body);
  if ((file->Flags & FO_FILE_OPEN) != 0 && (file->Flags & FO_FILE_OPEN_CANCELLED) == 0) {
    SendFileRequest(IoGetRelatedDeviceObject(file), file, IRP_MJ_CLOSE);
  }
  if (file->RelatedFileObject != nullptr) ObDereferenceObject(file->RelatedFileObject);
  std::free(file->FileName.Buffer);
}

ULONG FileObjectFlagsFor(ULONG options, ULONG object_attributes) {
  ULONG flags = 0;
  if (options & (FILE_SYNCHRONOUS_IO_ALERT | FILE_SYNCHRONOUS_IO_NONALERT)) flags |= FO_SYNCHRONOUS_IO;
  if (options & FILE_SYNCHRONOUS_IO_ALERT) flags |= FO_ALERTABLE_IO;
  if (options & FILE_NO_INTERMEDIATE_BUFFERING) flags |= FO_NO_INTERMEDIATE_BUFFERING;
  if (options & FILE_WRITE_THROUGH) flags |= FO_WRITE_THROUGH;
  if (options & FILE_SEQUENTIAL_ONLY) flags |= FO_SEQUENTIAL_ONLY;
  if (options & FILE_RANDOM_ACCESS) flags |= FO_RANDOM_ACCESS;
  if (options & FILE_DELETE_ON_CLOSE) flags |= FO_DELETE_ON_CLOSE;
  if ((object_attributes & OBJ_CASE_INSENSITIVE) == 0) flags |= FO_OPENED_CASE_SENSITIVE;
  return flags;
}

// Finds the device a name opens and the rest of the name, or the related file's device.
NTSTATUS Locate(POBJECT_ATTRIBUTES attributes, PDEVICE_OBJECT* device, PFILE_OBJECT* related,
                std::u16string* remainder) {
  const std::u16string_view name = rtl::View(attributes->ObjectName);
  if (attributes->RootDirectory != nullptr) {
    NTSTATUS status = ReferenceFileByHandle(attributes->RootDirectory, related, nullptr);
    if (!NT_SUCCESS(status)) return status;
    if (!name.empty() && name[0] == u'\\') {
      ObDereferenceObject(*related);
      *related = nullptr;
      return STATUS_OBJECT_PATH_SYNTAX_BAD;
    }
    *device = (*related)->DeviceObject;
    *remainder = name;
    return STATUS_SUCCESS;
  }
  void* object = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    const NTSTATUS status = State().names.Parse(name, &object, remainder);
    if (!NT_SUCCESS(status)) return status;
  }
  if (ob::HeaderOf(object)->kind != ob::Kind::kDevice) return STATUS_OBJECT_TYPE_MISMATCH;
  *device = static_cast<PDEVICE_OBJECT>(object);
  return STATUS_SUCCESS;
}

void SetFileName(PFILE_OBJECT file, std::u16string_view name) {
  const size_t bytes = name.size() * sizeof(WCHAR);
  file->FileName.Buffer = static_cast<PWSTR>(std::calloc(1, bytes + sizeof(WCHAR)));
  std::memcpy(file->FileName.Buffer, name.data(), bytes);
  file->FileName.Length = static_cast<USHORT>(bytes);
  file->FileName.MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
}

}  // namespace

PFILE_OBJECT AllocateFileObject() {
  auto* file = static_cast<PFILE_OBJECT>(ob::Allocate(ob::Kind::kFile, sizeof(FILE_OBJECT)));
  file->Type = IO_TYPE_FILE;
  file->Size = sizeof(FILE_OBJECT);
  KeInitializeEvent(&file->Lock, SynchronizationEvent, FALSE);
  KeInitializeEvent(&file->Event, NotificationEvent, FALSE);
  ob::HeaderOf(file)->on_last_reference = TearDownFile;
  return file;
}

NTSTATUS ReferenceFileByHandle(HANDLE handle, PFILE_OBJECT* file, ACCESS_MASK* granted) {
  OBJECT_HANDLE_INFORMATION information{};
  void* object = nullptr;
  const NTSTATUS status =
      ObReferenceObjectByHandle(handle, 0, IoFileObjectType, KernelMode, &object, &information);
  if (!NT_SUCCESS(status)) return status;
  *file = static_cast<PFILE_OBJECT>(object);
  if (granted != nullptr) *granted = information.GrantedAccess;
  return STATUS_SUCCESS;
}

NTSTATUS CreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io_status,
                    PLARGE_INTEGER allocation_size, ULONG file_attributes, ULONG share_access, ULONG disposition,
                    ULONG options, UCHAR stack_flags, PFILE_OBJECT* opened) {
  if (attributes == nullptr || attributes->ObjectName == nullptr || disposition > FILE_MAXIMUM_DISPOSITION ||
      (options & ~FILE_VALID_OPTION_FLAGS) != 0 || (share_access & ~FILE_SHARE_VALID_FLAGS) != 0) {
    return STATUS_INVALID_PARAMETER;
  }
  access = MapGenericAccess(access);
  PDEVICE_OBJECT device = nullptr;
  PFILE_OBJECT related = nullptr;
  std::u16string remainder;
  NTSTATUS status = Locate(attributes, &device, &related, &remainder);
  if (!NT_SUCCESS(status)) return status;
  if (related == nullptr) {
    status = MountIfNeeded(device);
    if (!NT_SUCCESS(status)) return status;
  }

  PFILE_OBJECT file = AllocateFileObject();
  file->DeviceObject = device;
  file->Vpb = related != nullptr ? related->Vpb : (device->Vpb != nullptr ? device->Vpb : nullptr);
  file->RelatedFileObject = related;
  file->Flags = FileObjectFlagsFor(options, attributes->Attributes);
  if (related == nullptr && device->Vpb != nullptr && remainder.empty()) file->Flags |= FO_VOLUME_OPEN;
  SetFileName(file, remainder);

  IO_SECURITY_CONTEXT security{};
  security.DesiredAccess = access;
  security.FullCreateOptions = options;
  PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);
  PIRP irp = BuildIrp(top, file, IRP_MJ_CREATE, 0);
  irp->Flags = IRP_CREATE_OPERATION | IRP_SYNCHRONOUS_API;
  if (allocation_size != nullptr) irp->Overlay.AllocationSize = *allocation_size;
  PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
  stack->Flags = stack_flags | ((attributes->Attributes & OBJ_CASE_INSENSITIVE) ? 0 : SL_CASE_SENSITIVE);
  stack->Parameters.Create.SecurityContext = &security;
  stack->Parameters.Create.Options = (disposition << 24) | (options & FILE_VALID_OPTION_FLAGS);
  stack->Parameters.Create.FileAttributes = static_cast<USHORT>(file_attributes);
  stack->Parameters.Create.ShareAccess = static_cast<USHORT>(share_access);
  ULONG_PTR information = 0;
  status = Send(top, irp, &information);
  io_status->Status = status;
  io_status->Information = information;
  if (!NT_SUCCESS(status) || status == STATUS_REPARSE) {
    ObDereferenceObject(file);  // a failed or cancelled open never reached a close below
    return status == STATUS_REPARSE ? STATUS_NOT_IMPLEMENTED : status;
  }
  file->Flags |= FO_FILE_OPEN | FO_HANDLE_CREATED;
  {
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    *handle = State().handles.Insert(file, access);
  }
  if (opened != nullptr) *opened = file;
  return status;
}

NTSTATUS Close(HANDLE handle) {
  ob::HandleEntry entry;
  {
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    if (!State().handles.Remove(handle, &entry)) return STATUS_INVALID_HANDLE;
  }
  if (ob::HeaderOf(entry.object)->kind == ob::Kind::kFile) {
    auto* file = static_cast<PFILE_OBJECT>(entry.object);
    SendFileRequest(IoGetRelatedDeviceObject(file), file, IRP_MJ_CLEANUP);
    file->Flags |= FO_CLEANUP_COMPLETE;
  }
  ObDereferenceObject(entry.object);
  return STATUS_SUCCESS;
}

}  // namespace xp::ntos::io

extern "C" {

// Exported by the kernel model.
void IoCancelFileOpen(PDEVICE_OBJECT device, PFILE_OBJECT file) {
  // The create succeeded below: undo it there, so that the caller's failure leaves nothing open.
  io::SendFileRequest(device, file, IRP_MJ_CLEANUP);
  io::SendFileRequest(device, file, IRP_MJ_CLOSE);
  file->Flags |= FO_FILE_OPEN_CANCELLED;
}

NTSTATUS IoGetDeviceObjectPointer(PUNICODE_STRING name, ACCESS_MASK access, PFILE_OBJECT* file,
                                  PDEVICE_OBJECT* device) {
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  IO_STATUS_BLOCK io_status;
  HANDLE handle = nullptr;
  PFILE_OBJECT opened = nullptr;
  ke::PreviousModeScope kernel(KernelMode);
  const NTSTATUS status = io::CreateFile(&handle, access, &attributes, &io_status, nullptr, 0,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, 0, 0, &opened);
  if (!NT_SUCCESS(status)) return status;
  ObReferenceObject(opened);
  io::Close(handle);
  *file = opened;
  *device = IoGetRelatedDeviceObject(opened);
  return STATUS_SUCCESS;
}

}  // extern "C"
