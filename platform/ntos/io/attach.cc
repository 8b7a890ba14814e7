// Device stacks: attaching and detaching, and the walks up (the top of a stack), down (the device below, the
// base) and across (a file's stack, a driver's devices, a volume's disk).
#include <mutex>

#include "include/internal/kernel_state.h"

using namespace xp::ntos;

namespace {

PDEVICE_OBJECT Top(PDEVICE_OBJECT device) {
  while (device->AttachedDevice != nullptr) device = device->AttachedDevice;
  return device;
}

}  // namespace

extern "C" {

// Exported by the kernel model.
NTSTATUS IoAttachDeviceToDeviceStackSafe(PDEVICE_OBJECT source, PDEVICE_OBJECT target,
                                         PDEVICE_OBJECT* attached_to) {
  KernelState& state = State();
  std::lock_guard<std::recursive_mutex> guard(state.lock);
  PDEVICE_OBJECT top = Top(target);
  // The caller's pointer to the device below is set before anything above can see the new device.
  *attached_to = top;
  source->DeviceObjectExtension->AttachedTo = top;
  source->StackSize = static_cast<CCHAR>(top->StackSize + 1);
  source->AlignmentRequirement = top->AlignmentRequirement;
  source->SectorSize = top->SectorSize;
  top->AttachedDevice = source;
  return STATUS_SUCCESS;
}

PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT source, PDEVICE_OBJECT target) {
  PDEVICE_OBJECT attached_to = nullptr;
  return NT_SUCCESS(IoAttachDeviceToDeviceStackSafe(source, target, &attached_to)) ? attached_to : nullptr;
}

void IoDetachDevice(PDEVICE_OBJECT target) {
  KernelState& state = State();
  std::lock_guard<std::recursive_mutex> guard(state.lock);
  PDEVICE_OBJECT upper = target->AttachedDevice;
  if (upper == nullptr) return;
  target->AttachedDevice = nullptr;
  upper->DeviceObjectExtension->AttachedTo = nullptr;
}

PDEVICE_OBJECT IoGetAttachedDevice(PDEVICE_OBJECT device) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  return Top(device);
}

PDEVICE_OBJECT IoGetAttachedDeviceReference(PDEVICE_OBJECT device) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  PDEVICE_OBJECT top = Top(device);
  ObReferenceObject(top);
  return top;
}

PDEVICE_OBJECT IoGetLowerDeviceObject(PDEVICE_OBJECT device) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  PDEVICE_OBJECT lower = device->DeviceObjectExtension->AttachedTo;
  if (lower != nullptr) ObReferenceObject(lower);
  return lower;
}

PDEVICE_OBJECT IoGetDeviceAttachmentBaseRef(PDEVICE_OBJECT device) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  while (device->DeviceObjectExtension->AttachedTo != nullptr) device = device->DeviceObjectExtension->AttachedTo;
  ObReferenceObject(device);
  return device;
}

PDEVICE_OBJECT IoGetRelatedDeviceObject(PFILE_OBJECT file) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  if (file->Vpb != nullptr && file->Vpb->DeviceObject != nullptr) return Top(file->Vpb->DeviceObject);
  PDEVICE_OBJECT device = file->DeviceObject;
  if ((file->Flags & FO_DIRECT_DEVICE_OPEN) == 0 && device->Vpb != nullptr &&
      (device->Vpb->Flags & VPB_MOUNTED) != 0) {
    return Top(device->Vpb->DeviceObject);
  }
  return Top(device);
}

NTSTATUS IoEnumerateDeviceObjectList(PDRIVER_OBJECT driver, PDEVICE_OBJECT* list, ULONG list_size,
                                     PULONG actual_count) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  ULONG count = 0;
  for (PDEVICE_OBJECT device = driver->DeviceObject; device != nullptr; device = device->NextDevice) ++count;
  *actual_count = count;
  if (count == 0) return STATUS_SUCCESS;
  if (list_size < count * sizeof(PDEVICE_OBJECT)) return STATUS_BUFFER_TOO_SMALL;
  ULONG index = 0;
  for (PDEVICE_OBJECT device = driver->DeviceObject; device != nullptr; device = device->NextDevice) {
    ObReferenceObject(device);
    list[index++] = device;
  }
  return STATUS_SUCCESS;
}

NTSTATUS IoGetDiskDeviceObject(PDEVICE_OBJECT file_system_device, PDEVICE_OBJECT* disk_device) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  PVPB vpb = file_system_device->Vpb;
  if (vpb == nullptr || vpb->RealDevice == nullptr) return STATUS_INVALID_PARAMETER;
  if ((vpb->Flags & VPB_MOUNTED) == 0) return STATUS_VOLUME_DISMOUNTED;
  ObReferenceObject(vpb->RealDevice);
  *disk_device = vpb->RealDevice;
  return STATUS_SUCCESS;
}

}  // extern "C"
