// The service loader: a driver module is a shared object with DriverEntry; loading makes its driver object,
// calls DriverEntry with the service's registry path, and unloading calls DriverUnload and reports the pool the
// module still holds, per tag.
#include <dlfcn.h>

#include <cstdio>
#include <mutex>

#include "include/internal/ex.h"
#include "include/internal/kernel_state.h"
#include "include/internal/rtl.h"

namespace xp::ntos {
namespace {

NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT, PIRP irp) {
  irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_INVALID_DEVICE_REQUEST;
}

std::string TagText(ULONG tag) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>((tag >> (8 * i)) & 0xFF);
    text += (c >= 0x20 && c < 0x7F) ? c : '.';
  }
  return text;
}

PDRIVER_OBJECT CreateDriverObject(LoadedDriver& loaded, const std::u16string& service) {
  auto* driver = static_cast<PDRIVER_OBJECT>(
      ob::Allocate(ob::Kind::kDriver, sizeof(DRIVER_OBJECT) + sizeof(DRIVER_EXTENSION)));
  driver->Type = IO_TYPE_DRIVER;
  driver->Size = sizeof(DRIVER_OBJECT);
  driver->DriverExtension = reinterpret_cast<PDRIVER_EXTENSION>(driver + 1);
  driver->DriverExtension->DriverObject = driver;
  driver->DriverExtension->ServiceKeyName = rtl::Counted(service);
  driver->DriverName = rtl::Counted(loaded.name);
  for (PDRIVER_DISPATCH& slot : driver->MajorFunction) slot = InvalidDeviceRequest;
  ob::HeaderOf(driver)->name = loaded.name;
  return driver;
}

std::u16string Key(const std::u16string& service) { return ob::UpcaseName(service); }

}  // namespace

NTSTATUS StartDriverModule(KernelState& state, PDRIVER_INITIALIZE entry, void* module, const std::u16string& service,
                           DriverKind kind) {
  LoadedDriver* loaded = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    if (state.drivers.count(Key(service)) != 0) return STATUS_IMAGE_ALREADY_LOADED;
    loaded = &state.drivers[Key(service)];
    loaded->name = (kind == DriverKind::kFileSystem ? u"\\FileSystem\\" : u"\\Driver\\") + service;
    loaded->registry_path = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\" + service;
    loaded->module = module;
    loaded->module_base = ex::ModuleBaseOf(reinterpret_cast<const void*>(entry));
    loaded->driver = CreateDriverObject(*loaded, state.drivers.find(Key(service))->first);
    state.names.Insert(loaded->name, loaded->driver);
  }
  loaded->driver->DriverInit = entry;
  UNICODE_STRING registry_path = rtl::Counted(loaded->registry_path);
  const NTSTATUS status = entry(loaded->driver, &registry_path);
  if (!NT_SUCCESS(status)) {
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    state.names.Remove(loaded->name);
    ob::Dereference(loaded->driver);
    state.drivers.erase(Key(service));
  }
  return status;
}

NTSTATUS Kernel::LoadDriver(const std::filesystem::path& image, const std::u16string& service, DriverKind kind) {
  if (DriverRunning(service)) return STATUS_IMAGE_ALREADY_LOADED;
  void* module = dlopen(image.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    DbgPrint("ldr: cannot load %s: %s\n", image.c_str(), dlerror());
    return std::filesystem::exists(image) ? STATUS_INVALID_IMAGE_FORMAT : STATUS_DLL_NOT_FOUND;
  }
  auto entry = reinterpret_cast<PDRIVER_INITIALIZE>(dlsym(module, "DriverEntry"));
  if (entry == nullptr) {
    dlclose(module);
    return STATUS_DRIVER_ENTRYPOINT_NOT_FOUND;
  }
  const NTSTATUS status = StartDriverModule(*state_, entry, module, service, kind);
  if (!NT_SUCCESS(status)) dlclose(module);
  return status;
}

NTSTATUS Kernel::StartDriver(PDRIVER_INITIALIZE entry, const std::u16string& service, DriverKind kind) {
  return StartDriverModule(*state_, entry, nullptr, service, kind);
}

NTSTATUS Kernel::UnloadDriver(const std::u16string& service, std::vector<PoolLeak>* leaks) {
  LoadedDriver loaded;
  {
    std::lock_guard<std::recursive_mutex> guard(state_->lock);
    auto found = state_->drivers.find(Key(service));
    if (found == state_->drivers.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
    if (found->second.driver->DriverUnload == nullptr) return STATUS_INVALID_DEVICE_REQUEST;
    loaded = found->second;
  }
  PDRIVER_OBJECT driver = loaded.driver;
  driver->DriverUnload(driver);
  if (driver->DeviceObject != nullptr) {
    DbgPrint("ldr: %s left devices behind at unload\n", rtl::ToUtf8(loaded.name).c_str());
  }
  const std::vector<PoolLeak> outstanding =
      loaded.module_base != nullptr ? state_->pool.Outstanding(loaded.module_base) : std::vector<PoolLeak>{};
  for (const PoolLeak& leak : outstanding) {
    DbgPrint("ldr: %s leaked pool tag '%s': %u allocations, %u bytes\n", rtl::ToUtf8(loaded.name).c_str(),
             TagText(leak.tag).c_str(), static_cast<unsigned>(leak.allocations), static_cast<unsigned>(leak.bytes));
  }
  if (leaks != nullptr) *leaks = outstanding;
  {
    std::lock_guard<std::recursive_mutex> guard(state_->lock);
    state_->names.Remove(loaded.name);
    state_->filter_callbacks.erase(driver);
    auto& notifications = state_->fs_notifications;
    std::erase_if(notifications, [driver](const FsNotification& n) { return n.driver == driver; });
    state_->drivers.erase(Key(service));
  }
  // Devices a driver failed to delete keep its object alive; they are the driver's fault, reported above.
  if (driver->DeviceObject == nullptr) ob::Dereference(driver);
  if (loaded.module != nullptr) dlclose(loaded.module);
  return STATUS_SUCCESS;
}

bool Kernel::DriverRunning(const std::u16string& service) const {
  std::lock_guard<std::recursive_mutex> guard(state_->lock);
  return state_->drivers.count(Key(service)) != 0;
}

PDRIVER_OBJECT Kernel::Driver(const std::u16string& service) const {
  std::lock_guard<std::recursive_mutex> guard(state_->lock);
  const auto found = state_->drivers.find(Key(service));
  return found == state_->drivers.end() ? nullptr : found->second.driver;
}

}  // namespace xp::ntos
