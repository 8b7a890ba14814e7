// The one place where the file layer reaches the kernel: each call here is the Nt* call of the kernel this process
// uses: the kernel host of the machine XPMACHINE names (kernel_client.h), started on demand, or a kernel model a
// test booted in its own process.
#pragma once

#include <cstdint>
#include <string>

#include "ddk/ntifs.h"

namespace xp::kernel32::nt {

// A handle of the kernel that was in use when it was opened. `kernel` tells that kernel from later ones: a handle
// outlives its kernel when the host stops or a test moves the process to another machine.
struct Handle {
  HANDLE value = nullptr;
  uint64_t kernel = 0;
};

struct OpenRequest {
  std::u16string name;  // "\??\C:\dir\file", "\??\Morvel"
  ACCESS_MASK access = 0;
  ULONG attributes = 0;
  ULONG share = 0;
  ULONG disposition = FILE_OPEN;
  ULONG options = 0;
};

// *information: FILE_CREATED, FILE_OPENED, FILE_OVERWRITTEN ...
NTSTATUS Open(const OpenRequest& request, Handle* handle, ULONG_PTR* information = nullptr);
NTSTATUS Read(const Handle& handle, void* buffer, ULONG length, LONGLONG offset, ULONG* transferred);
NTSTATUS Write(const Handle& handle, const void* buffer, ULONG length, LONGLONG offset, ULONG* transferred);
NTSTATUS QueryInformation(const Handle& handle, void* information, ULONG length,
                          FILE_INFORMATION_CLASS information_class);
NTSTATUS SetInformation(const Handle& handle, const void* information, ULONG length,
                        FILE_INFORMATION_CLASS information_class);
NTSTATUS QueryVolume(const Handle& handle, void* information, ULONG length, FS_INFORMATION_CLASS information_class);
// pattern: nullptr continues an enumeration; the first query of a handle names the pattern.
NTSTATUS QueryDirectory(const Handle& handle, void* information, ULONG length, const std::u16string* pattern,
                        ULONG_PTR* returned);
NTSTATUS Flush(const Handle& handle);
NTSTATUS DeviceControl(const Handle& handle, ULONG code, void* input, ULONG input_length, void* output,
                       ULONG output_length, ULONG_PTR* returned);
NTSTATUS FsControl(const Handle& handle, ULONG code, void* input, ULONG input_length, void* output, ULONG output_length,
                   ULONG_PTR* returned);
NTSTATUS Close(const Handle& handle);

// The service manager's driver calls: NtLoadDriver and NtUnloadDriver for the service's key
// ("\Registry\Machine\System\CurrentControlSet\Services\<service>"), and whether its driver runs.
NTSTATUS LoadDriver(const std::u16string& service);
NTSTATUS UnloadDriver(const std::u16string& service);
NTSTATUS DriverRunning(const std::u16string& service, bool* running);

// A handle closed when it goes out of scope, for opens that live within one call.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  ~ScopedHandle() {
    if (handle_.value != nullptr) Close(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  Handle* out() { return &handle_; }
  const Handle& get() const { return handle_; }
  // Hands the handle over to a longer-lived owner.
  Handle Detach() {
    const Handle handle = handle_;
    handle_ = {};
    return handle;
  }
  // Closes now, for callers that need the close's status (a delete happens at the close).
  NTSTATUS Release() {
    const NTSTATUS status = Close(handle_);
    handle_ = {};
    return status;
  }

 private:
  Handle handle_;
};

}  // namespace xp::kernel32::nt
