// File-system registration and mounting: IoRegisterFileSystem and the registration-change callbacks, and the
// mount of a storage device at its first open, sent to the top of each file system's control-device stack so
// that filters attached there see it.
#include <algorithm>
#include <mutex>

#include "include/internal/io.h"
#include "include/internal/kernel_state.h"

using namespace xp::ntos;

namespace {

constexpr int kMaxLoadRounds = 4;

void Notify(PDEVICE_OBJECT file_system, BOOLEAN active) {
  std::vector<FsNotification> notifications;
  {
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    notifications = State().fs_notifications;
  }
  for (const FsNotification& notification : notifications) notification.routine(file_system, active);
}

DEVICE_TYPE FileSystemTypeFor(PDEVICE_OBJECT real_device) {
  return real_device->DeviceType == FILE_DEVICE_CD_ROM ? FILE_DEVICE_CD_ROM_FILE_SYSTEM
                                                       : FILE_DEVICE_DISK_FILE_SYSTEM;
}

// Newest registration first, recognisers (low priority) last, as XP tries them.
std::vector<PDEVICE_OBJECT> Candidates(DEVICE_TYPE type) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  std::vector<PDEVICE_OBJECT> first;
  std::vector<PDEVICE_OBJECT> last;
  for (auto it = State().file_systems.rbegin(); it != State().file_systems.rend(); ++it) {
    if ((*it)->DeviceType != type) continue;
    ((*it)->Flags & DO_LOW_PRIORITY_FILESYSTEM ? last : first).push_back(*it);
  }
  first.insert(first.end(), last.begin(), last.end());
  return first;
}

NTSTATUS SendFsControl(PDEVICE_OBJECT file_system, UCHAR minor, PVPB vpb, PDEVICE_OBJECT real_device) {
  PDEVICE_OBJECT top = IoGetAttachedDevice(file_system);
  PIRP irp = io::BuildIrp(top, nullptr, IRP_MJ_FILE_SYSTEM_CONTROL, minor);
  irp->Flags = IRP_MOUNT_COMPLETION | IRP_SYNCHRONOUS_PAGING_IO;
  irp->RequestorMode = KernelMode;
  PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
  stack->Parameters.MountVolume.Vpb = vpb;
  stack->Parameters.MountVolume.DeviceObject = real_device;
  return io::Send(top, irp);
}

}  // namespace

namespace xp::ntos::io {

NTSTATUS MountIfNeeded(PDEVICE_OBJECT real_device) {
  PVPB vpb = real_device->Vpb;
  if (vpb == nullptr) return STATUS_SUCCESS;
  std::lock_guard<std::recursive_mutex> mount_guard(State().mount_lock);
  if (vpb->Flags & VPB_MOUNTED) return STATUS_SUCCESS;
  for (int round = 0; round < kMaxLoadRounds; ++round) {
    bool load_requested = false;
    for (PDEVICE_OBJECT file_system : Candidates(FileSystemTypeFor(real_device))) {
      const NTSTATUS status = SendFsControl(file_system, IRP_MN_MOUNT_VOLUME, vpb, real_device);
      if (NT_SUCCESS(status) && vpb->DeviceObject != nullptr) {
        vpb->Flags |= VPB_MOUNTED;
        real_device->Characteristics |= FILE_DEVICE_IS_MOUNTED;
        return STATUS_SUCCESS;
      }
      if (status == STATUS_FS_DRIVER_REQUIRED) {
        SendFsControl(file_system, IRP_MN_LOAD_FILE_SYSTEM, nullptr, nullptr);
        load_requested = true;
        break;
      }
      if (status != STATUS_UNRECOGNIZED_VOLUME) return status;
    }
    if (!load_requested) break;
  }
  return STATUS_UNRECOGNIZED_VOLUME;
}

}  // namespace xp::ntos::io

extern "C" {

// Exported by the kernel model.
void IoRegisterFileSystem(PDEVICE_OBJECT device) {
  {
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    State().file_systems.push_back(device);
  }
  Notify(device, TRUE);
}

void IoUnregisterFileSystem(PDEVICE_OBJECT device) {
  {
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    auto& list = State().file_systems;
    list.erase(std::remove(list.begin(), list.end(), device), list.end());
  }
  Notify(device, FALSE);
}

NTSTATUS IoRegisterFsRegistrationChange(PDRIVER_OBJECT driver, PDRIVER_FS_NOTIFICATION routine) {
  std::vector<PDEVICE_OBJECT> registered;
  {
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    State().fs_notifications.push_back(FsNotification{driver, routine});
    registered = State().file_systems;
  }
  // As on XP: the new routine hears of every file system already registered before this call returns.
  for (PDEVICE_OBJECT file_system : registered) routine(file_system, TRUE);
  return STATUS_SUCCESS;
}

void IoUnregisterFsRegistrationChange(PDRIVER_OBJECT driver, PDRIVER_FS_NOTIFICATION routine) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  auto& list = State().fs_notifications;
  list.erase(std::remove_if(list.begin(), list.end(),
                            [&](const FsNotification& n) { return n.driver == driver && n.routine == routine; }),
             list.end());
}

}  // extern "C"
