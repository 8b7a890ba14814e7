// One booted kernel: boot reads the machine's drives, makes a storage device and a drive-letter link for each
// and starts the model file system; shutdown unloads drivers, closes handles, writes the cache back and takes
// the devices down. The current kernel is the one the exported kernel calls act on.
#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>

#include "fs/model_fs.h"
#include "include/internal/io.h"
#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"
#include "include/internal/rtl.h"

namespace xp::ntos {

NTSTATUS StartDriverModule(KernelState& state, PDRIVER_INITIALIZE entry, void* module, const std::u16string& service,
                           DriverKind kind);

namespace {

std::atomic<Kernel*> current_kernel{nullptr};

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The drives of machine.ini (drive.<L>.type, .file_system, .volume_serial, .free_bytes).
std::vector<std::unique_ptr<DiskVolume>> ReadDrives(const std::filesystem::path& machine_dir) {
  std::map<char, std::map<std::string, std::string>> settings;
  std::ifstream ini(machine_dir / "machine.ini");
  std::string line;
  while (std::getline(ini, line)) {
    const size_t equals = line.find('=');
    if (line.rfind("drive.", 0) != 0 || equals == std::string::npos || line.size() < 9) continue;
    const std::string key = Trim(line.substr(0, equals));
    settings[key[6]][key.substr(8)] = Trim(line.substr(equals + 1));
  }
  std::vector<std::unique_ptr<DiskVolume>> disks;
  for (auto& [letter, values] : settings) {
    if (values["type"] == "remote") continue;  // no network file system in the model
    auto disk = std::make_unique<DiskVolume>();
    disk->letter = letter;
    disk->root = machine_dir / "drives" / std::string(1, letter);
    disk->side_store = machine_dir / "drives" / (std::string(1, letter) + ".meta");
    disk->serial = static_cast<ULONG>(std::stoul(values["volume_serial"].empty() ? "0" : values["volume_serial"], nullptr, 16));
    disk->file_system = rtl::FromUtf8(values["file_system"]);
    disk->free_bytes = values["free_bytes"].empty() ? 0 : std::stoull(values["free_bytes"]);
    disk->cdrom = values["type"] == "cdrom";
    disk->removable = values["type"] == "removable";
    disks.push_back(std::move(disk));
  }
  return disks;
}

void UnloadDisks(PDRIVER_OBJECT driver) {
  KernelState& state = State();
  for (const auto& disk : state.disks) {
    UNICODE_STRING link_name;
    const std::u16string link = std::u16string(u"\\DosDevices\\") + static_cast<char16_t>(disk->letter) + u":";
    link_name = rtl::Counted(link);
    IoDeleteSymbolicLink(&link_name);
  }
  while (driver->DeviceObject != nullptr) IoDeleteDevice(driver->DeviceObject);
}

// The storage side: one device per drive, "\DosDevices\X:" naming it.
NTSTATUS DiskEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  driver->DriverUnload = UnloadDisks;
  int disk_number = 1;
  int cdrom_number = 0;
  for (const auto& disk : State().disks) {
    const std::u16string name = disk->cdrom ? u"\\Device\\CdRom" + rtl::FromUtf8(std::to_string(cdrom_number++))
                                            : u"\\Device\\HarddiskVolume" + rtl::FromUtf8(std::to_string(disk_number++));
    UNICODE_STRING device_name = rtl::Counted(name);
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status = IoCreateDevice(driver, sizeof(DiskVolume*), &device_name,
                                     disk->cdrom ? FILE_DEVICE_CD_ROM : FILE_DEVICE_DISK,
                                     disk->removable || disk->cdrom ? FILE_REMOVABLE_MEDIA : 0, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    *static_cast<DiskVolume**>(device->DeviceExtension) = disk.get();
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    disk->device = device;
    const std::u16string link = std::u16string(u"\\DosDevices\\") + static_cast<char16_t>(disk->letter) + u":";
    UNICODE_STRING link_name = rtl::Counted(link);
    status = IoCreateSymbolicLink(&link_name, &device_name);
    if (!NT_SUCCESS(status)) return status;
  }
  return STATUS_SUCCESS;
}

}  // namespace

KernelState& State() {
  Kernel* kernel = current_kernel.load();
  if (kernel == nullptr) ke::BugCheck(0xDEAD, "a kernel call with no kernel booted");
  return kernel->state();
}

KernelState* StateIfAny() {
  Kernel* kernel = current_kernel.load();
  return kernel == nullptr ? nullptr : &kernel->state();
}

Kernel::Kernel(KernelOptions options) : state_(std::make_unique<KernelState>()) {
  state_->options = std::move(options);
  if (state_->options.cache_bytes != 0) state_->cache.SetLimit(state_->options.cache_bytes);
  MakeCurrent();
  if (!state_->options.machine_dir.empty()) state_->disks = ReadDrives(state_->options.machine_dir);
  StartDriver(DiskEntry, u"Disk", DriverKind::kDevice);
  StartDriver(fs::ModelFsEntry, u"ModelFs", DriverKind::kFileSystem);
}

Kernel::~Kernel() {
  MakeCurrent();
  std::vector<std::u16string> services;
  {
    std::lock_guard<std::recursive_mutex> guard(state_->lock);
    for (const auto& [key, loaded] : state_->drivers) {
      if (key != u"DISK" && key != u"MODELFS") services.push_back(key);
    }
  }
  for (const std::u16string& service : services) {
    if (!NT_SUCCESS(UnloadDriver(service))) DbgPrint("ntos: driver left running at shutdown\n");
  }
  for (;;) {
    HANDLE handle = nullptr;
    {
      std::lock_guard<std::recursive_mutex> guard(state_->lock);
      if (state_->handles.Count() == 0) break;
      handle = state_->handles.First();
    }
    io::Close(handle);
  }
  state_->cache.Shutdown();
  UnloadDriver(u"ModelFs");
  UnloadDriver(u"Disk");
  Kernel* self = this;
  current_kernel.compare_exchange_strong(self, nullptr);
}

Kernel* Kernel::Current() { return current_kernel.load(); }

void Kernel::MakeCurrent() { current_kernel.store(this); }

void Kernel::LazyWriterTick() { state_->cache.LazyWriterTick(); }

std::optional<std::vector<uint8_t>> Kernel::PeekCachePage(PFILE_OBJECT file, LONGLONG offset) const {
  return state_->cache.Peek(file->SectionObjectPointer, offset, nullptr);
}

bool Kernel::CachePageDirty(PFILE_OBJECT file, LONGLONG offset) const {
  bool dirty = false;
  return state_->cache.Peek(file->SectionObjectPointer, offset, &dirty).has_value() && dirty;
}

size_t Kernel::CachedBytes() const { return state_->cache.ResidentBytes(); }

std::vector<std::string> Kernel::DebugLog() const {
  std::lock_guard<std::mutex> guard(state_->debug_lock);
  return state_->debug_log;
}

void Kernel::ClearDebugLog() {
  std::lock_guard<std::mutex> guard(state_->debug_lock);
  state_->debug_log.clear();
}

void Kernel::SetFsObserver(std::function<void(const FsRequest&)> observer) {
  std::lock_guard<std::recursive_mutex> guard(state_->lock);
  state_->fs_observer = std::move(observer);
}

PFAST_IO_DISPATCH Kernel::FsFastIoDispatch() { return state_->fs_fast_io; }

void Kernel::FailPoolAllocationAfter(uint32_t nth) { state_->pool.FailAfter(nth); }

void Kernel::FailSystemMappingAfter(uint32_t nth) { state_->mapping_failure_countdown = nth; }

std::vector<PoolLeak> Kernel::OutstandingPool() const { return state_->pool.Outstanding(); }

PFILE_OBJECT Kernel::FileObjectOf(HANDLE handle) const {
  std::lock_guard<std::recursive_mutex> guard(state_->lock);
  ob::HandleEntry entry;
  if (!state_->handles.Lookup(handle, &entry) || ob::HeaderOf(entry.object)->kind != ob::Kind::kFile) return nullptr;
  return static_cast<PFILE_OBJECT>(entry.object);
}

UNICODE_STRING NtName(const std::u16string& text) { return rtl::Counted(text); }

}  // namespace xp::ntos
