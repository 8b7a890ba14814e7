// Device objects and symbolic links: creation with a zeroed extension (and a VPB for storage devices),
// deletion (telling a driver attached above through its FastIoDetachDevice), and named links.
#include <mutex>

#include "include/internal/kernel_state.h"
#include "include/internal/rtl.h"

using namespace xp::ntos;

namespace {

bool NeedsVpb(DEVICE_TYPE type) {
  return type == FILE_DEVICE_DISK || type == FILE_DEVICE_CD_ROM || type == FILE_DEVICE_VIRTUAL_DISK;
}

// A deleted device's memory goes when its last reference does.
void ReleaseDevice(void* body) {
  auto* device = static_cast<PDEVICE_OBJECT>(body);
  // A volume device points at its storage device's VPB; only the storage device owns it.
  if (device->Vpb != nullptr && device->Vpb->RealDevice == device) delete device->Vpb;
}

}  // namespace

extern "C" {

// Exported by the kernel model.
NTSTATUS IoCreateDevice(PDRIVER_OBJECT driver, ULONG extension_size, PUNICODE_STRING name, DEVICE_TYPE type,
                        ULONG characteristics, BOOLEAN exclusive, PDEVICE_OBJECT* device) {
  *device = nullptr;
  const size_t header_bytes = (sizeof(DEVICE_OBJECT) + sizeof(DEVOBJ_EXTENSION) + 15) / 16 * 16;
  void* body = ob::Allocate(ob::Kind::kDevice, header_bytes + extension_size);
  if (body == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  auto* created = static_cast<PDEVICE_OBJECT>(body);
  auto* extension = reinterpret_cast<PDEVOBJ_EXTENSION>(created + 1);
  created->Type = IO_TYPE_DEVICE;
  created->Size = static_cast<USHORT>(sizeof(DEVICE_OBJECT) + extension_size);
  created->DriverObject = driver;
  created->Flags = DO_DEVICE_INITIALIZING | (exclusive ? DO_EXCLUSIVE : 0);
  created->Characteristics = characteristics;
  created->DeviceType = type;
  created->StackSize = 1;
  created->SectorSize = 512;
  created->DeviceExtension = extension_size == 0 ? nullptr : static_cast<char*>(body) + header_bytes;
  created->DeviceObjectExtension = extension;
  extension->Type = 13;
  extension->Size = sizeof(DEVOBJ_EXTENSION);
  extension->DeviceObject = created;
  if (NeedsVpb(type)) {
    created->Vpb = new VPB{};
    created->Vpb->Type = IO_TYPE_VPB;
    created->Vpb->Size = sizeof(VPB);
    created->Vpb->RealDevice = created;
  }
  ob::Header* header = ob::HeaderOf(body);
  header->on_last_reference = ReleaseDevice;

  KernelState& state = State();
  std::lock_guard<std::recursive_mutex> guard(state.lock);
  if (name != nullptr && name->Length != 0) {
    const NTSTATUS status = state.names.Insert(rtl::View(name), body);
    if (!NT_SUCCESS(status)) {
      ob::Dereference(body);
      return status;
    }
    header->name = rtl::View(name);
    created->Flags |= DO_DEVICE_HAS_NAME;
  }
  created->NextDevice = driver->DeviceObject;
  driver->DeviceObject = created;
  *device = created;
  return STATUS_SUCCESS;
}

void IoDeleteDevice(PDEVICE_OBJECT device) {
  KernelState& state = State();
  PDEVICE_OBJECT upper = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    ob::Header* header = ob::HeaderOf(device);
    if (!header->name.empty()) state.names.Remove(header->name);
    for (PDEVICE_OBJECT* link = &device->DriverObject->DeviceObject; *link != nullptr; link = &(*link)->NextDevice) {
      if (*link == device) {
        *link = device->NextDevice;
        break;
      }
    }
    upper = device->AttachedDevice;
  }
  // A driver above learns that its target went away, so it can detach and delete its own device.
  if (upper != nullptr) {
    PFAST_IO_DISPATCH fast_io = upper->DriverObject->FastIoDispatch;
    if (fast_io != nullptr &&
        fast_io->SizeOfFastIoDispatch > offsetof(FAST_IO_DISPATCH, FastIoDetachDevice) &&
        fast_io->FastIoDetachDevice != nullptr) {
      fast_io->FastIoDetachDevice(upper, device);
    }
  }
  ob::Dereference(device);
}

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING link_name, PUNICODE_STRING device_name) {
  KernelState& state = State();
  std::lock_guard<std::recursive_mutex> guard(state.lock);
  return state.names.InsertLink(rtl::View(link_name), rtl::View(device_name));
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING link_name) {
  KernelState& state = State();
  std::lock_guard<std::recursive_mutex> guard(state.lock);
  return state.names.RemoveLink(rtl::View(link_name));
}

}  // extern "C"
