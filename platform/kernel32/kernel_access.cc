// The file layer's calls into the kernel. While the machine is booted, every call goes to its kernel host. Else,
// with no kernel running for the process, the first call boots one here for the machine XPMACHINE names, and boots
// another when XPMACHINE names a new machine. A kernel booted here dies
// with the process, and every process has its own: so its writes go through to the disk at once and its cache is
// dropped at each close, which is what a crash of the program and the other processes of the machine must see.
#include "kernel_access.h"

#include <memory>
#include <mutex>

#include "kernel_client.h"
#include "xp/machine.h"
#include "xp/ntos.h"

namespace xp::kernel32::nt {
namespace {

struct KernelInUse {
  uint64_t id = 0;     // changes whenever the kernel in use does
  bool owned = false;  // booted by this layer
};

class KernelChoice {
 public:
  KernelInUse Resolve() {
    const std::lock_guard<std::mutex> lock(mutex_);
    ntos::Kernel* kernel = ntos::Kernel::Current();
    if (kernel == nullptr || kernel == owned_.get()) {
      const std::string machine = machine::Root().string();
      if (!owned_ || owned_machine_ != machine) {
        owned_.reset();
        owned_ = std::make_unique<ntos::Kernel>(ntos::KernelOptions{machine});
        owned_machine_ = machine;
      }
      owned_->MakeCurrent();
      kernel = owned_.get();
    }
    if (kernel != last_) {
      last_ = kernel;
      ++id_;
    }
    return {id_, kernel == owned_.get()};
  }

  void DropUnusedCache() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (owned_ && ntos::Kernel::Current() == owned_.get()) owned_->LazyWriterTick();
  }

 private:
  std::mutex mutex_;
  std::unique_ptr<ntos::Kernel> owned_;
  std::string owned_machine_;
  ntos::Kernel* last_ = nullptr;
  uint64_t id_ = 0;
};

// Never destroyed: handles may be closed from ELF destructors after static destructors have run.
KernelChoice& Choice() {
  static KernelChoice* const choice = new KernelChoice;
  return *choice;
}

// The kernel to call for `handle`; false when the handle belongs to a kernel no longer in use.
bool Reach(const Handle& handle, KernelInUse* in_use) {
  *in_use = Choice().Resolve();
  return handle.kernel == in_use->id;
}

UNICODE_STRING Counted(const std::u16string& text) { return ntos::NtName(text); }

}  // namespace

NTSTATUS Open(const OpenRequest& request, Handle* handle, ULONG_PTR* information) {
  if (host::MachineBooted()) return host::Open(request, handle, information);
  const KernelInUse in_use = Choice().Resolve();
  std::u16string name = request.name;
  UNICODE_STRING counted = Counted(name);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  IO_STATUS_BLOCK io_status{};
  HANDLE value = nullptr;
  const NTSTATUS status = NtCreateFile(&value, request.access, &attributes, &io_status, nullptr, request.attributes,
                                       request.share, request.disposition, request.options, nullptr, 0);
  if (information != nullptr) *information = io_status.Information;
  if (NT_SUCCESS(status)) *handle = {value, in_use.id};
  return status;
}

NTSTATUS Read(const Handle& handle, void* buffer, ULONG length, LONGLONG offset, ULONG* transferred) {
  if (host::Serves(handle)) return host::Read(handle, buffer, length, offset, transferred);
  *transferred = 0;
  KernelInUse in_use;
  if (!Reach(handle, &in_use)) return STATUS_INVALID_HANDLE;
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
  KernelInUse in_use;
  if (!Reach(handle, &in_use)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  LARGE_INTEGER at;
  at.QuadPart = offset;
  NTSTATUS status =
      NtWriteFile(handle.value, nullptr, nullptr, nullptr, &io_status, const_cast<void*>(buffer), length, &at, nullptr);
  if (!NT_SUCCESS(status)) return status;
  *transferred = static_cast<ULONG>(io_status.Information);
  if (in_use.owned) {
    IO_STATUS_BLOCK flushed{};
    status = NtFlushBuffersFile(handle.value, &flushed);
  }
  return status;
}

NTSTATUS QueryInformation(const Handle& handle, void* information, ULONG length,
                          FILE_INFORMATION_CLASS information_class) {
  if (host::Serves(handle)) return host::QueryInformation(handle, information, length, information_class);
  KernelInUse in_use;
  if (!Reach(handle, &in_use)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  return NtQueryInformationFile(handle.value, &io_status, information, length, information_class);
}

NTSTATUS SetInformation(const Handle& handle, const void* information, ULONG length,
                        FILE_INFORMATION_CLASS information_class) {
  if (host::Serves(handle)) return host::SetInformation(handle, information, length, information_class);
  KernelInUse in_use;
  if (!Reach(handle, &in_use)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  return NtSetInformationFile(handle.value, &io_status, const_cast<void*>(information), length, information_class);
}

NTSTATUS QueryVolume(const Handle& handle, void* information, ULONG length, FS_INFORMATION_CLASS information_class) {
  if (host::Serves(handle)) return host::QueryVolume(handle, information, length, information_class);
  KernelInUse in_use;
  if (!Reach(handle, &in_use)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  return NtQueryVolumeInformationFile(handle.value, &io_status, information, length, information_class);
}

NTSTATUS QueryDirectory(const Handle& handle, void* information, ULONG length, const std::u16string* pattern,
                        ULONG_PTR* returned) {
  if (host::Serves(handle)) return host::QueryDirectory(handle, information, length, pattern, returned);
  *returned = 0;
  KernelInUse in_use;
  if (!Reach(handle, &in_use)) return STATUS_INVALID_HANDLE;
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
  KernelInUse in_use;
  if (!Reach(handle, &in_use)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  return NtFlushBuffersFile(handle.value, &io_status);
}

NTSTATUS DeviceControl(const Handle& handle, ULONG code, void* input, ULONG input_length, void* output,
                       ULONG output_length, ULONG_PTR* returned) {
  if (host::Serves(handle)) {
    return host::DeviceControl(handle, code, input, input_length, output, output_length, returned);
  }
  *returned = 0;
  KernelInUse in_use;
  if (!Reach(handle, &in_use)) return STATUS_INVALID_HANDLE;
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
  KernelInUse in_use;
  if (!Reach(handle, &in_use)) return STATUS_INVALID_HANDLE;
  IO_STATUS_BLOCK io_status{};
  const NTSTATUS status = NtFsControlFile(handle.value, nullptr, nullptr, nullptr, &io_status, code, input,
                                          input_length, output, output_length);
  *returned = io_status.Information;
  return status;
}

NTSTATUS Close(const Handle& handle) {
  if (host::Serves(handle)) return host::Close(handle);
  KernelInUse in_use;
  if (!Reach(handle, &in_use)) return STATUS_INVALID_HANDLE;
  const NTSTATUS status = NtClose(handle.value);
  if (in_use.owned) Choice().DropUnusedCache();
  return status;
}

NTSTATUS LoadDriver(const std::u16string& service) {
  if (host::MachineBooted()) return host::LoadDriver(service);
  Choice().Resolve();
  return ntos::Kernel::Current()->LoadService(service);
}

NTSTATUS UnloadDriver(const std::u16string& service) {
  if (host::MachineBooted()) return host::UnloadDriver(service);
  Choice().Resolve();
  return ntos::Kernel::Current()->UnloadService(service);
}

NTSTATUS DriverRunning(const std::u16string& service, bool* running) {
  if (host::MachineBooted()) return host::DriverRunning(service, running);
  Choice().Resolve();
  *running = ntos::Kernel::Current()->DriverRunning(service);
  return STATUS_SUCCESS;
}

}  // namespace xp::kernel32::nt
