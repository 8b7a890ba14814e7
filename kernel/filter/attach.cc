// Attaching filter devices: to every disk file system's control device as it registers (never to the file-system
// recogniser), to each volume such a file system already has mounted, and to each volume it mounts later; and
// detaching when a file system goes away or loads its real driver.
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

constexpr char16_t kRecognizerDriverName[] = u"\\FileSystem\\Fs_Rec";
// Room beyond the count a first enumeration reports, for devices made in between.
constexpr ULONG kSpareListEntries = 8;

// The name of a device, read through the base of its attachment chain; empty for an unnamed device.
void ReadDeviceName(PDEVICE_OBJECT device, UNICODE_STRING* name) {
  name->Length = 0;
  ULONG buffer[(sizeof(OBJECT_NAME_INFORMATION) + kDeviceNameBytes) / sizeof(ULONG) + 1];
  auto* information = reinterpret_cast<POBJECT_NAME_INFORMATION>(buffer);
  PDEVICE_OBJECT base = IoGetDeviceAttachmentBaseRef(device);
  ULONG returned = 0;
  if (NT_SUCCESS(ObQueryNameString(base, information, sizeof buffer, &returned)) && information->Name.Length != 0) {
    RtlCopyUnicodeString(name, &information->Name);
  }
  ObDereferenceObject(base);
}

void InitializeName(FilterExtension* extension) {
  extension->name.Buffer = extension->name_buffer;
  extension->name.Length = 0;
  extension->name.MaximumLength = sizeof extension->name_buffer;
}

// True when a device of this driver with an extension sits anywhere in `device`'s stack.
bool StackHasOurFilter(PDEVICE_OBJECT device) {
  PDEVICE_OBJECT current = IoGetAttachedDeviceReference(device);
  while (current != nullptr) {
    if (FilterOf(current) != nullptr) {
      ObDereferenceObject(current);
      return true;
    }
    PDEVICE_OBJECT lower = IoGetLowerDeviceObject(current);
    ObDereferenceObject(current);
    current = lower;
  }
  return false;
}

NTSTATUS CreateFilterDevice(DEVICE_TYPE type, PDEVICE_OBJECT* device) {
  NTSTATUS status = IoCreateDevice(State().driver, sizeof(FilterExtension), nullptr, type, 0, FALSE, device);
  if (!NT_SUCCESS(status)) {
    DbgPrint("\nError on IoCreateDevice %x", status);
    return status;
  }
  auto* extension = static_cast<FilterExtension*>((*device)->DeviceExtension);
  RtlZeroMemory(extension, sizeof *extension);
  extension->self = *device;
  InitializeName(extension);
  return STATUS_SUCCESS;
}

void LinkExtension(FilterExtension* extension) {
  ExAcquireFastMutex(&State().device_list_lock);
  InsertTailList(&State().device_list, &extension->link);
  extension->flags |= kExtensionLinked;
  ExReleaseFastMutex(&State().device_list_lock);
}

// Attaches a volume filter above `target`, and links it into the device list.
NTSTATUS AttachFilter(PDEVICE_OBJECT target, PDEVICE_OBJECT filter) {
  auto* extension = static_cast<FilterExtension*>(filter->DeviceExtension);
  extension->self = filter;
  filter->Flags |= target->Flags & (DO_BUFFERED_IO | DO_DIRECT_IO);
  const NTSTATUS status = IoAttachDeviceToDeviceStackSafe(filter, target, &extension->lower);
  if (NT_SUCCESS(status)) {
    extension->flags |= kExtensionAttached;
    LinkExtension(extension);
  }
  return status;
}

void DeleteFilter(PDEVICE_OBJECT filter) {
  UnlinkExtension(static_cast<FilterExtension*>(filter->DeviceExtension));
  IoDeleteDevice(filter);
}

bool IsNamed(PDEVICE_OBJECT device) {
  WCHAR text[kDeviceNameBytes / sizeof(WCHAR)];
  UNICODE_STRING name{0, sizeof text, text};
  ReadDeviceName(device, &name);
  return name.Length != 0;
}

void AttachToMountedVolume(PDEVICE_OBJECT volume, ULONG index) {
  PDEVICE_OBJECT disk = nullptr;
  if (!NT_SUCCESS(IoGetDiskDeviceObject(volume, &disk))) return;
  DbgPrint("\nCalled IoGetDiskDeviceObject with devList[%x], diskDeviceObject=%p", index, disk);
  PDEVICE_OBJECT filter = nullptr;
  if (NT_SUCCESS(CreateFilterDevice(volume->DeviceType, &filter))) {
    auto* extension = static_cast<FilterExtension*>(filter->DeviceExtension);
    extension->storage = disk;
    ReadDeviceName(disk, &extension->name);
    if (NT_SUCCESS(AttachFilter(volume, filter))) {
      filter->Flags &= ~DO_DEVICE_INITIALIZING;
    } else {
      DeleteFilter(filter);
    }
  }
  ObDereferenceObject(disk);
}

NTSTATUS SpyEnumerateFileSystemVolumes(PDEVICE_OBJECT file_system) {
  PAGED_CODE();
  ULONG count = 0;
  NTSTATUS status = IoEnumerateDeviceObjectList(file_system->DriverObject, nullptr, 0, &count);
  DbgPrint("\nCalled IoEnumerateDeviceObjectList Devices = %x", count);
  if (NT_SUCCESS(status) || count == 0) return STATUS_SUCCESS;
  const ULONG room = count + kSpareListEntries;
  auto* devices =
      static_cast<PDEVICE_OBJECT*>(ExAllocatePoolWithTag(NonPagedPool, room * sizeof(PDEVICE_OBJECT), kTagList));
  if (devices == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  status = IoEnumerateDeviceObjectList(file_system->DriverObject, devices, room * sizeof(PDEVICE_OBJECT), &count);
  DbgPrint("\nCalled IoEnumerateDeviceObjectList return code = %x", status);
  if (!NT_SUCCESS(status)) {
    ExFreePoolWithTag(devices, kTagList);
    return status;
  }
  for (ULONG i = 0; i < count; ++i) {
    PDEVICE_OBJECT volume = devices[i];
    DbgPrint("\ndevList[%x]=%p", i, volume);
    // Volumes are the unnamed devices of the file system's kind that no filter of this driver sits on yet.
    if (volume != file_system && volume->DeviceType == file_system->DeviceType && !StackHasOurFilter(volume) &&
        !IsNamed(volume)) {
      AttachToMountedVolume(volume, i);
    }
    ObDereferenceObject(volume);
  }
  ExFreePoolWithTag(devices, kTagList);
  return STATUS_SUCCESS;
}

NTSTATUS AttachToFileSystem(PDEVICE_OBJECT file_system, PUNICODE_STRING name) {
  PAGED_CODE();
  // CD-ROM, network and other file systems are never filtered.
  if (file_system->DeviceType != FILE_DEVICE_DISK_FILE_SYSTEM) return STATUS_SUCCESS;
  UNICODE_STRING recognizer;
  RtlInitUnicodeString(&recognizer, kRecognizerDriverName);
  if (RtlEqualUnicodeString(&file_system->DriverObject->DriverName, &recognizer, TRUE)) return STATUS_SUCCESS;

  PDEVICE_OBJECT filter = nullptr;
  NTSTATUS status = CreateFilterDevice(file_system->DeviceType, &filter);
  if (!NT_SUCCESS(status)) return status;
  auto* extension = static_cast<FilterExtension*>(filter->DeviceExtension);
  filter->Flags |= file_system->Flags & (DO_BUFFERED_IO | DO_DIRECT_IO);
  status = IoAttachDeviceToDeviceStackSafe(filter, file_system, &extension->lower);
  if (!NT_SUCCESS(status)) {
    DbgPrint("\nError on IoAttachDeviceToDeviceStackSafe");
    IoDeleteDevice(filter);
    return status;
  }
  extension->flags |= kExtensionAttached;
  DbgPrint("\nIoAttachDeviceToDeviceStackSafe OK!");
  RtlCopyUnicodeString(&extension->name, name);
  filter->Flags &= ~DO_DEVICE_INITIALIZING;

  status = SpyEnumerateFileSystemVolumes(file_system);
  if (!NT_SUCCESS(status)) {
    DbgPrint("\nError on SpyEnumerateFileSystemVolumes");
    IoDetachDevice(extension->lower);
    IoDeleteDevice(filter);
  }
  return status;
}

// Removes this driver's filter from above a file system's control device.
void DetachFromFileSystem(PDEVICE_OBJECT file_system) {
  for (PDEVICE_OBJECT above = file_system->AttachedDevice; above != nullptr; above = above->AttachedDevice) {
    if (FilterOf(above) == nullptr) continue;
    FilterExtension* extension = FilterOf(above);
    UnlinkExtension(extension);
    IoDetachDevice(extension->lower);
    IoDeleteDevice(above);
    return;
  }
}

NTSTATUS HandleMount(PDEVICE_OBJECT device, FilterExtension* extension, PIRP irp) {
  PAGED_CODE();
  PVPB vpb = IoGetCurrentIrpStackLocation(irp)->Parameters.MountVolume.Vpb;
  PDEVICE_OBJECT filter = nullptr;
  if (!NT_SUCCESS(CreateFilterDevice(device->DeviceType, &filter))) return PassThrough(device, irp);
  auto* volume_extension = static_cast<FilterExtension*>(filter->DeviceExtension);
  PDEVICE_OBJECT real = vpb->RealDevice;
  volume_extension->storage = real;
  ReadDeviceName(real, &volume_extension->name);

  const NTSTATUS status = ForwardAndWait(extension->lower, irp);
  // The storage device's parameter block now names the volume the file system made.
  PDEVICE_OBJECT volume = real->Vpb != nullptr ? real->Vpb->DeviceObject : nullptr;
  if (!NT_SUCCESS(status) || volume == nullptr || StackHasOurFilter(volume) ||
      !NT_SUCCESS(AttachFilter(volume, filter))) {
    DeleteFilter(filter);
  } else {
    filter->Flags &= ~DO_DEVICE_INITIALIZING;
  }
  return CompleteRequest(irp, status, irp->IoStatus.Information);
}

NTSTATUS HandleLoadFileSystem(PDEVICE_OBJECT device, FilterExtension* extension, PIRP irp) {
  PAGED_CODE();
  PDEVICE_OBJECT lower = extension->lower;
  IoDetachDevice(lower);
  const NTSTATUS status = ForwardAndWait(lower, irp);
  if (NT_SUCCESS(status) || status == STATUS_IMAGE_ALREADY_LOADED) {
    UnlinkExtension(extension);
    IoDeleteDevice(device);
  } else {
    IoAttachDeviceToDeviceStackSafe(device, lower, &extension->lower);
  }
  return CompleteRequest(irp, status, irp->IoStatus.Information);
}

}  // namespace

void FileSystemChanged(PDEVICE_OBJECT file_system_device, BOOLEAN active) {
  RequestScope in_flight;
  if (!active) {
    DetachFromFileSystem(file_system_device);
    return;
  }
  WCHAR text[kDeviceNameBytes / sizeof(WCHAR)];
  UNICODE_STRING name{0, sizeof text, text};
  ReadDeviceName(file_system_device, &name);
  AttachToFileSystem(file_system_device, &name);
}

NTSTATUS DispatchFileSystemControl(PDEVICE_OBJECT device, PIRP irp) {
  RequestScope in_flight;
  if (IsControlDevice(device)) return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  FilterExtension* extension = FilterOf(device);
  if (extension == nullptr) return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_MOUNT_VOLUME:
      return HandleMount(device, extension, irp);
    case IRP_MN_LOAD_FILE_SYSTEM:
      return HandleLoadFileSystem(device, extension, irp);
    default:
      return PassThrough(device, irp);
  }
}

void UnlinkExtension(FilterExtension* extension) {
  ExAcquireFastMutex(&State().device_list_lock);
  if ((extension->flags & kExtensionLinked) != 0) {
    RemoveEntryList(&extension->link);
    extension->flags &= ~kExtensionLinked;
  }
  ExReleaseFastMutex(&State().device_list_lock);
}

}  // namespace tavik::morvel
