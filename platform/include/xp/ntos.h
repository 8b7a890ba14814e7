// The kernel model: one Kernel object is one booted XP computer (object namespace, I/O manager, cache manager,
// the model disk file system over the machine's drive folders, drivers). The Nt*/Zw* calls of ddk/ntifs.h act on
// the current kernel. Platform code only: the Win32 file layer, the kernel host and tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ddk/ntifs.h"

namespace xp::ntos {

struct KernelState;

struct KernelOptions {
  // The machine folder: its machine.ini lists the drives, DIR/drives/<L> holds each drive's files and
  // DIR/drives/<L>.meta the volume's side store (attributes, times, free space). Empty: no drives.
  std::filesystem::path machine_dir;
  // Copy DbgPrint lines to stderr as well.
  bool echo_debug_output = false;
  // How much the cache may hold, clean and dirty pages of every stream together; 0: 64 MiB.
  size_t cache_bytes = 0;
};

// What reached the model file system: one record per request, taken when the file system completes it.
struct FsRequest {
  UCHAR major = 0;
  UCHAR minor = 0;
  ULONG irp_flags = 0;
  UCHAR stack_flags = 0;
  PFILE_OBJECT file = nullptr;
  std::u16string file_name;  // the file object's FileName as opened
  LONGLONG offset = 0;       // reads and writes
  ULONG length = 0;          // reads and writes: the requested length
  ULONG information_class = 0;
  NTSTATUS status = 0;
  ULONG_PTR information = 0;
  std::vector<uint8_t> data;  // reads: the bytes returned; writes: the bytes given
};

struct PoolLeak {
  ULONG tag = 0;
  size_t allocations = 0;
  size_t bytes = 0;
};

// How a driver module is named in the namespace: "\Driver\<service>" or, for file systems and their filters,
// "\FileSystem\<service>".
enum class DriverKind { kDevice, kFileSystem };

class Kernel {
 public:
  // Boots: makes the namespace, a storage device "\Device\HarddiskVolumeN" per drive with its "\DosDevices\X:" link,
  // and the model file system (registered with IoRegisterFileSystem; volumes mount at their first open).
  // The new kernel becomes the current one.
  explicit Kernel(KernelOptions options = {});
  // Shuts down: unloads loaded drivers, flushes and drops the cache, closes every handle.
  ~Kernel();
  Kernel(const Kernel&) = delete;
  Kernel& operator=(const Kernel&) = delete;

  // The kernel the Nt/Zw/Io... calls act on; nullptr before any kernel exists.
  static Kernel* Current();
  void MakeCurrent();

  // --- Service loader ---
  // Loads a driver module (a shared object exporting `extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT,
  // PUNICODE_STRING)`), calls DriverEntry with "\Registry\Machine\System\CurrentControlSet\Services\<service>".
  // A failing DriverEntry unloads the module again and returns its status. A service already running:
  // STATUS_IMAGE_ALREADY_LOADED, DriverEntry is not called again.
  NTSTATUS LoadDriver(const std::filesystem::path& image, const std::u16string& service, DriverKind kind);
  // The same for an entry point linked into this process (the model's own drivers, test drivers).
  NTSTATUS StartDriver(PDRIVER_INITIALIZE entry, const std::u16string& service, DriverKind kind);
  // Calls DriverUnload (STATUS_INVALID_DEVICE_REQUEST when the driver has none), then reports the pool the
  // driver's module still holds, per tag (also written to the debugger log), and unloads the module.
  NTSTATUS UnloadDriver(const std::u16string& service, std::vector<PoolLeak>* leaks = nullptr);
  // What NtLoadDriver does for "\Registry\Machine\System\CurrentControlSet\Services\<service>": reads the key's
  // Type (SERVICE_KERNEL_DRIVER 1 loads as kDevice, SERVICE_FILE_SYSTEM_DRIVER 2 as kFileSystem) and ImagePath, a
  // path on the machine's drives ("C:\WINDOWS\system32\drivers\x.sys", "\??\C:\...", "\SystemRoot\...",
  // "%SystemRoot%\..." or relative to C:\WINDOWS; no ImagePath: "System32\drivers\<service>.sys"), and loads that
  // file. STATUS_OBJECT_NAME_NOT_FOUND when the key or the file is missing; STATUS_INVALID_PARAMETER for a service
  // that is not a driver; else as LoadDriver.
  NTSTATUS LoadService(const std::u16string& service);
  // What NtUnloadDriver does for the service's key: STATUS_OBJECT_NAME_NOT_FOUND unless the key names a driver
  // service (the model's own drivers have none, so no program can stop them), else as UnloadDriver.
  NTSTATUS UnloadService(const std::u16string& service);
  bool DriverRunning(const std::u16string& service) const;
  PDRIVER_OBJECT Driver(const std::u16string& service) const;

  // --- Cache manager and clock ---
  // One pass of the lazy writer: writes every dirty page (paging writes through the top of each stream's stack)
  // and drops the cache maps no file object uses any more.
  void LazyWriterTick();
  // A copy of the cached page holding `offset` of the stream `file` belongs to, if resident.
  std::optional<std::vector<uint8_t>> PeekCachePage(PFILE_OBJECT file, LONGLONG offset) const;
  bool CachePageDirty(PFILE_OBJECT file, LONGLONG offset) const;
  // What the cache holds now, in bytes of resident pages.
  size_t CachedBytes() const;

  // --- Debugger output ---
  std::vector<std::string> DebugLog() const;
  void ClearDebugLog();

  // --- Test hooks ---
  // Called for every request the model file system completes.
  void SetFsObserver(std::function<void(const FsRequest&)> observer);
  // The model file system's fast-I/O table; a test may shorten SizeOfFastIoDispatch or clear slots.
  PFAST_IO_DISPATCH FsFastIoDispatch();
  // Makes the nth pool allocation from now (1 = the next) fail; 0 disables.
  void FailPoolAllocationAfter(uint32_t nth);
  // Makes the nth MmGetSystemAddressForMdlSafe from now return NULL; 0 disables.
  void FailSystemMappingAfter(uint32_t nth);
  // Pool still allocated, per tag, by every caller.
  std::vector<PoolLeak> OutstandingPool() const;
  // The open file object behind a handle of the current process (not referenced).
  PFILE_OBJECT FileObjectOf(HANDLE handle) const;

  KernelState& state() { return *state_; }

 private:
  std::unique_ptr<KernelState> state_;
};

// While it lives, user-mode requests made on the calling thread may touch only these buffers. The kernel host
// serves a program's request with copies of the program's buffers, so any other address a request carries (a
// data request's buffer address) names nothing of the program and must not reach the host's own memory.
class UserBuffersScope {
 public:
  struct Range {
    const void* start = nullptr;
    size_t length = 0;
  };
  explicit UserBuffersScope(std::vector<Range> ranges);
  ~UserBuffersScope();
  UserBuffersScope(const UserBuffersScope&) = delete;
  UserBuffersScope& operator=(const UserBuffersScope&) = delete;

 private:
  std::vector<Range> ranges_;
  const std::vector<Range>* saved_;
};

// Builds an NT name string for calls that take one; the text must outlive the use.
UNICODE_STRING NtName(const std::u16string& text);

}  // namespace xp::ntos
