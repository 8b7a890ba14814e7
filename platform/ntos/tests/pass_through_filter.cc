// The pass-through test filter (see the header).
#include "pass_through_filter.h"

namespace pass_through {
namespace {

constexpr ULONG kTag = 0x74736150;  // "Past" in a pool dump

struct Extension {
  PDEVICE_OBJECT lower;
};

PDRIVER_OBJECT filter_driver = nullptr;
FAST_IO_DISPATCH fast_io;

PDEVICE_OBJECT LowerOf(PDEVICE_OBJECT device) { return static_cast<Extension*>(device->DeviceExtension)->lower; }

bool Filtered(PDEVICE_OBJECT device) {
  for (PDEVICE_OBJECT up = device->AttachedDevice; up != nullptr; up = up->AttachedDevice) {
    if (up->DriverObject == filter_driver) return true;
  }
  return device->DriverObject == filter_driver;
}

NTSTATUS AttachTo(PDEVICE_OBJECT target, PDEVICE_OBJECT* created) {
  PDEVICE_OBJECT filter = nullptr;
  NTSTATUS status = IoCreateDevice(filter_driver, sizeof(Extension), nullptr, target->DeviceType, 0, FALSE, &filter);
  if (!NT_SUCCESS(status)) return status;
  filter->Flags |= target->Flags & (DO_BUFFERED_IO | DO_DIRECT_IO);
  status = IoAttachDeviceToDeviceStackSafe(filter, target, &static_cast<Extension*>(filter->DeviceExtension)->lower);
  if (!NT_SUCCESS(status)) {
    IoDeleteDevice(filter);
    return status;
  }
  filter->Flags &= ~DO_DEVICE_INITIALIZING;
  if (created != nullptr) *created = filter;
  return STATUS_SUCCESS;
}

NTSTATUS SignalCompletion(PDEVICE_OBJECT, PIRP, PVOID context) {
  KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS Mount(PDEVICE_OBJECT device, PIRP irp) {
  PVPB vpb = IoGetCurrentIrpStackLocation(irp)->Parameters.MountVolume.Vpb;
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  IoCopyCurrentIrpStackLocationToNext(irp);
  IoSetCompletionRoutine(irp, SignalCompletion, &done, TRUE, TRUE, TRUE);
  if (IoCallDriver(LowerOf(device), irp) == STATUS_PENDING) {
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
  }
  const NTSTATUS status = irp->IoStatus.Status;
  if (NT_SUCCESS(status) && vpb->DeviceObject != nullptr && !Filtered(vpb->DeviceObject)) {
    AttachTo(vpb->DeviceObject, nullptr);
  }
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  if (stack->MajorFunction == IRP_MJ_READ || stack->MajorFunction == IRP_MJ_WRITE) {
    SeenRequests().push_back(Seen{stack->MajorFunction, irp->Flags, stack->Parameters.Read.ByteOffset.QuadPart,
                                  stack->Parameters.Read.Length});
  }
  if (stack->MajorFunction == IRP_MJ_FILE_SYSTEM_CONTROL && stack->MinorFunction == IRP_MN_MOUNT_VOLUME) {
    return Mount(device, irp);
  }
  if (stack->MajorFunction == IRP_MJ_FILE_SYSTEM_CONTROL && stack->MinorFunction == IRP_MN_USER_FS_REQUEST) {
    SeenFsControls().push_back(stack->Parameters.FileSystemControl.FsControlCode);
  }
  IoSkipCurrentIrpStackLocation(irp);
  return IoCallDriver(LowerOf(device), irp);
}

void AttachToVolumesOf(PDEVICE_OBJECT file_system) {
  ULONG count = 0;
  IoEnumerateDeviceObjectList(file_system->DriverObject, nullptr, 0, &count);
  if (count == 0) return;
  auto* list = static_cast<PDEVICE_OBJECT*>(ExAllocatePoolWithTag(NonPagedPool, count * sizeof(PDEVICE_OBJECT), kTag));
  if (NT_SUCCESS(IoEnumerateDeviceObjectList(file_system->DriverObject, list, count * sizeof(PDEVICE_OBJECT), &count))) {
    for (ULONG i = 0; i < count; ++i) {
      PDEVICE_OBJECT disk = nullptr;
      if (list[i] != file_system && !Filtered(list[i]) && NT_SUCCESS(IoGetDiskDeviceObject(list[i], &disk))) {
        AttachTo(list[i], nullptr);
        ObDereferenceObject(disk);
      }
      ObDereferenceObject(list[i]);
    }
  }
  ExFreePoolWithTag(list, kTag);
}

void FileSystemChanged(PDEVICE_OBJECT file_system, BOOLEAN active) {
  if (!active || file_system->DeviceType != FILE_DEVICE_DISK_FILE_SYSTEM || Filtered(file_system)) return;
  if (NT_SUCCESS(AttachTo(file_system, nullptr))) AttachToVolumesOf(file_system);
}

PFAST_IO_DISPATCH LowerFastIo(PDEVICE_OBJECT device, size_t slot_offset) {
  PDEVICE_OBJECT lower = LowerOf(device);
  PFAST_IO_DISPATCH table = lower->DriverObject->FastIoDispatch;
  return table != nullptr && table->SizeOfFastIoDispatch > slot_offset ? table : nullptr;
}

BOOLEAN FastRead(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN wait, ULONG key, PVOID buffer,
                 PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device) {
  ++FastReads();
  PFAST_IO_DISPATCH table = LowerFastIo(device, offsetof(FAST_IO_DISPATCH, FastIoRead));
  return table != nullptr && table->FastIoRead != nullptr &&
         table->FastIoRead(file, offset, length, wait, key, buffer, io_status, LowerOf(device));
}

BOOLEAN FastWrite(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN wait, ULONG key, PVOID buffer,
                  PIO_STATUS_BLOCK io_status, PDEVICE_OBJECT device) {
  PFAST_IO_DISPATCH table = LowerFastIo(device, offsetof(FAST_IO_DISPATCH, FastIoWrite));
  return table != nullptr && table->FastIoWrite != nullptr &&
         table->FastIoWrite(file, offset, length, wait, key, buffer, io_status, LowerOf(device));
}

void FastDetach(PDEVICE_OBJECT source, PDEVICE_OBJECT target) {
  IoDetachDevice(target);
  IoDeleteDevice(source);
}

void Unload(PDRIVER_OBJECT driver) {
  IoUnregisterFsRegistrationChange(driver, FileSystemChanged);
  while (driver->DeviceObject != nullptr) {
    PDEVICE_OBJECT device = driver->DeviceObject;
    IoDetachDevice(LowerOf(device));
    IoDeleteDevice(device);
  }
  filter_driver = nullptr;
}

}  // namespace

std::vector<Seen>& SeenRequests() {
  static std::vector<Seen> seen;
  return seen;
}

std::vector<ULONG>& SeenFsControls() {
  static std::vector<ULONG> seen;
  return seen;
}

int& FastReads() {
  static int count = 0;
  return count;
}

void Reset() {
  SeenRequests().clear();
  SeenFsControls().clear();
  FastReads() = 0;
}

bool IsFilterDevice(PDEVICE_OBJECT device) { return device != nullptr && device->DriverObject == filter_driver; }

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  filter_driver = driver;
  for (PDRIVER_DISPATCH& slot : driver->MajorFunction) slot = Dispatch;
  fast_io = FAST_IO_DISPATCH{};
  fast_io.SizeOfFastIoDispatch = sizeof fast_io;
  fast_io.FastIoRead = FastRead;
  fast_io.FastIoWrite = FastWrite;
  fast_io.FastIoDetachDevice = FastDetach;
  driver->FastIoDispatch = &fast_io;
  driver->DriverUnload = Unload;
  Reset();
  return IoRegisterFsRegistrationChange(driver, FileSystemChanged);
}

}  // namespace pass_through
