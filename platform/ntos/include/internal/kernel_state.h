// The state of one booted kernel: everything the free Nt/Io/Ex... functions reach through the current kernel.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "include/internal/cc.h"
#include "include/internal/disk.h"
#include "include/internal/ex.h"
#include "include/internal/ob.h"
#include "xp/ntos.h"

namespace xp::ntos {

struct LoadedDriver {
  PDRIVER_OBJECT driver = nullptr;
  std::u16string name;           // "\Driver\<service>" or "\FileSystem\<service>"
  std::u16string registry_path;  // handed to DriverEntry, kept for the driver's lifetime
  void* module = nullptr;       // dlopen handle; nullptr for entry points linked into the process
  const void* module_base = nullptr;  // where the module's code lies, to attribute pool to it
};

struct FsNotification {
  PDRIVER_OBJECT driver;
  PDRIVER_FS_NOTIFICATION routine;
};

struct KernelState {
  KernelOptions options;
  // Guards the namespace, handles, registrations and the driver table; never held across a call into a driver.
  mutable std::recursive_mutex lock;
  // Serialises mounts; held across the mount request.
  std::recursive_mutex mount_lock;
  ob::Namespace names;
  ob::HandleTable handles;
  std::vector<PDEVICE_OBJECT> file_systems;  // registered file-system control devices, in registration order
  std::vector<FsNotification> fs_notifications;
  std::map<std::u16string, LoadedDriver> drivers;  // by upcased service name
  std::map<PDRIVER_OBJECT, FS_FILTER_CALLBACKS> filter_callbacks;
  std::vector<std::unique_ptr<DiskVolume>> disks;
  ex::Pool pool;
  cc::CacheManager cache;

  mutable std::mutex debug_lock;
  std::vector<std::string> debug_log;
  std::function<void(const FsRequest&)> fs_observer;
  PFAST_IO_DISPATCH fs_fast_io = nullptr;
  std::atomic<uint32_t> mapping_failure_countdown{0};
  std::atomic<LONGLONG> delayed_time{0};  // 100 ns units the kernel's waits and delays have advanced the clock
};

KernelState& State();
// The state when a kernel exists, else nullptr (for calls that may run after shutdown began).
KernelState* StateIfAny();

}  // namespace xp::ntos
