// The file layer's calls into the kernel. A machine has one kernel, in its kernel host (kernel_client.h), which every
// program reaches; only a test that boots the kernel model in its own process (ntos::Kernel) has its calls served
// there instead.
#include "kernel_access.h"

#include <cstdio>
#include <mutex>

#include "kernel_client.h"
#include "xp/ntos.h"

namespace xp::kernel32::nt {
namespace {

// The in-process kernel a test booted, with an id that changes whenever that kernel does, so a handle of an earlier
// kernel is refused. nullptr: the machine's kernel host serves this process.
class InProcessKernel {
 public:
  ntos::Kernel* Current(uint64_t* id) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ntos::Kernel* kernel = ntos::Kernel::Current();
    if (kernel != nullptr && kernel != last_) {
      last_ = kernel;
      ++id_;
    }
    *id = id_;
    return kernel;
  }

 private:
  std::mutex mutex_;
  ntos::Kernel* last_ = nullptr;
  uint64_t id_ = 0;
};

// Never destroyed: handles may be closed from ELF destructors after static destructors have run.
InProcessKernel& Local() {
  static InProcessKernel* const local = new InProcessKernel;
  return *local;
}

// True when this process's calls go to the kernel host, connected (and started) on first use. A host that cannot be
// reached is said once on stderr; the call then fails as a missing device does.
bool ServedByHost() {
  uint64_t id = 0;
  if (Local().Current(&id) != nullptr) return false;
  std::string error;
  if (!host::Reach(&error)) {
    static std::once_flag said;
    std::call_once(said, [&] { std::fprintf(stderr, "kernel32: no kernel for this program: %s\n", error.c_str()); });
  }
  return true;
}

// The in-process kernel `handle` belongs to is still the one in use.
bool Reach(const Handle& handle) {
  uint64_t id = 0;
  return Local().Current(&id) != nullptr && handle.kernel == id;
}

UNICODE_STRING Counted(const std::u16string& text) { return ntos::NtName(text); }

}  // namespace

NTSTATUS Open(const OpenRequest& request, Handle* handle, ULONG_PTR* information) {
  if (ServedByHost()) return host::Open(request, handle, information);
  uint64_t kernel = 0;
  Local().Current(&kernel);
  std::u16string name = request.name;
  UNICODE_STRING counted = Counted(name);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  IO_STATUS_BLOCK io_status{};
  HANDLE value = nullptr;
  const NTSTATUS status = NtCreateFile(&value, request.access, &attributes, &io_status, nullptr, request.attributes,
                                       request.share, request.disposition, request.options, nullptr, 0);
  if (information != nullptr) *information = io_status.Information;
  if (NT_SUCCESS(status)) *handle = {value, kernel};
  return status;
}

NTSTATUS Read(const Handle& handle, void* buffer, ULONG length, LONGLONG offset, ULONG* transferred) {
  if (host::Serves(handle)) return host::Read(handle, buffer, length, offset, transferred);
  *transferred = 0;
  if (!Reach(handle)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  LARGE_INTEGER at;
  at.QuadPart = offset;
  const NTSTATUS status = NtReadFile(handle.value, nullptr, nullptr, nullptr, &io_status, buffer, length, &at, nullptr);
  if (NT_SUCCESS(status)) *transferred = static_cast<ULONG>(io_status.Information);
  return status;
}

NTSTATUS Write(const Handle& handle, const void* buffer, ULONG length, LONGLONG offset, ULONG* transferred) {
  if (host::Serves(handle)) return host::Write(handle, buffer, length, offset, transferred);
  *transferred = 0;
  if (!Reach(handle)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  LARGE_INTEGER at;
  at.QuadPart = offset;
  const NTSTATUS status =
      NtWriteFile(handle.value, nullptr, nullptr, nullptr, &io_status, const_cast<void*>(buffer), length, &at, nullptr);
  if (NT_SUCCESS(status)) *transferred = static_cast<ULONG>(io_status.Information);
  return status;
}

NTSTATUS QueryInformation(const Handle& handle, void* information, ULONG length,
                          FILE_INFORMATION_CLASS information_class) {
  if (host::Serves(handle)) return host::QueryInformation(handle, information, length, information_class);
  if (!Reach(handle)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  return NtQueryInformationFile(handle.value, &io_status, information, length, information_class);
}

NTSTATUS SetInformation(const Handle& handle, const void* information, ULONG length,
                        FILE_INFORMATION_CLASS information_class) {
  if (host::Serves(handle)) return host::SetInformation(handle, information, length, information_class);
  if (!Reach(handle)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  return NtSetInformationFile(handle.value, &io_status, const_cast<void*>(information), length, information_class);
}

NTSTATUS QueryVolume(const Handle& handle, void* information, ULONG length, FS_INFORMATION_CLASS information_class) {
  if (host::Serves(handle)) return host::QueryVolume(handle, information, length, information_class);
  if (!Reach(handle)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  return NtQueryVolumeInformationFile(handle.value, &io_status, information, length, information_class);
}

NTSTATUS QueryDirectory(const Handle& handle, void* information, ULONG length, const std::u16string* pattern,
                        ULONG_PTR* returned) {
  if (host::Serves(handle)) return host::QueryDirectory(handle, information, length, pattern, returned);
  *returned = 0;
  if (!Reach(handle)) return STATUS_INVALID_HANDLE;
  std::u16string text = pattern != nullptr ? *pattern : std::u16string();
  UNICODE_STRING counted = Counted(text);
  IO_STATUS_BLOCK io_status{};
  const NTSTATUS status =
      NtQueryDirectoryFile(handle.value, nullptr, nullptr, nullptr, &io_status, information, length,
                           FileBothDirectoryInformation, FALSE, pattern != nullptr ? &counted : nullptr, FALSE);
  if (NT_SUCCESS(status)) *returned = io_status.Information;
  return status;
}

NTSTATUS Flush(const Handle& handle) {
  if (host::Serves(handle)) return host::Flush(handle);
  if (!Reach(handle)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  return NtFlushBuffersFile(handle.value, &io_status);
}

NTSTATUS DeviceControl(const Handle& handle, ULONG code, void* input, ULONG input_length, void* output,
                       ULONG output_length, ULONG_PTR* returned) {
  if (host::Serves(handle)) {
    return host::DeviceControl(handle, code, input, input_length, output, output_length, returned);
  }
  *returned = 0;
  if (!Reach(handle)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  const NTSTATUS status = NtDeviceIoControlFile(handle.value, nullptr, nullptr, nullptr, &io_status, code, input,
                                                input_length, output, output_length);
  *returned = io_status.Information;
  return status;
}

NTSTATUS FsControl(const Handle& handle, ULONG code, void* input, ULONG input_length, void* output, ULONG output_length,
                   ULONG_PTR* returned) {
  if (host::Serves(handle)) return host::FsControl(handle, code, input, input_length, output, output_length, returned);
  *returned = 0;
  if (!Reach(handle)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  const NTSTATUS status = NtFsControlFile(handle.value, nullptr, nullptr, nullptr, &io_status, code, input,
                                          input_length, output, output_length);
  *returned = io_status.Information;
  return status;
}

NTSTATUS Close(const Handle& handle) {
  if (host::Serves(handle)) return host::Close(handle);
  if (!Reach(handle)) return STATUS_INVALID_HANDLE;
  return NtClose(handle.value);
}

NTSTATUS LoadDriver(const std::u16string& service) {
  if (ServedByHost()) return host::LoadDriver(service);
  return ntos::Kernel::Current()->LoadService(service);
}

NTSTATUS UnloadDriver(const std::u16string& service) {
  if (ServedByHost()) return host::UnloadDriver(service);
  return ntos::Kernel::Current()->UnloadService(service);
}

NTSTATUS DriverRunning(const std::u16string& service, bool* running) {
  if (ServedByHost()) return host::DriverRunning(service, running);
  *running = ntos::Kernel::Current()->DriverRunning(service);
  return STATUS_SUCCESS;
}

}  // namespace xp::kernel32::nt
