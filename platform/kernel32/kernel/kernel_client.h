// The machine's kernel as one of its programs reaches it: its kernel host, answering on DIR/kernel/socket, started
// on demand by the first program that needs it. The file layer's kernel calls go there (through the volumes'
// device stacks, so through any filter attached to them). Same calls and results as kernel_access.h.
#pragma once

#include <string>

#include "kernel_access.h"

namespace xp::kernel32::host {

// True once this process is connected to the kernel host of the machine XPMACHINE names, which is started when none
// runs; false, with *error, when that cannot be. One connection serves the whole process (a forked child makes its
// own; a new XPMACHINE, a new one).
bool Reach(std::string* error);
// True for a handle the host gave; calls on it go to the host. A handle from a connection that ended (the host
// stopped) fails with STATUS_INVALID_HANDLE.
bool Serves(const nt::Handle& handle);

NTSTATUS Open(const nt::OpenRequest& request, nt::Handle* handle, ULONG_PTR* information);
NTSTATUS Read(const nt::Handle& handle, void* buffer, ULONG length, LONGLONG offset, ULONG* transferred);
NTSTATUS Write(const nt::Handle& handle, const void* buffer, ULONG length, LONGLONG offset, ULONG* transferred);
NTSTATUS QueryInformation(const nt::Handle& handle, void* information, ULONG length,
                          FILE_INFORMATION_CLASS information_class);
NTSTATUS SetInformation(const nt::Handle& handle, const void* information, ULONG length,
                        FILE_INFORMATION_CLASS information_class);
NTSTATUS QueryVolume(const nt::Handle& handle, void* information, ULONG length,
                     FS_INFORMATION_CLASS information_class);
NTSTATUS QueryDirectory(const nt::Handle& handle, void* information, ULONG length, const std::u16string* pattern,
                        ULONG_PTR* returned);
NTSTATUS Flush(const nt::Handle& handle);
NTSTATUS DeviceControl(const nt::Handle& handle, ULONG code, void* input, ULONG input_length, void* output,
                       ULONG output_length, ULONG_PTR* returned);
NTSTATUS FsControl(const nt::Handle& handle, ULONG code, void* input, ULONG input_length, void* output,
                   ULONG output_length, ULONG_PTR* returned);
NTSTATUS Close(const nt::Handle& handle);

// The service manager's driver calls on the host's kernel (see ntos::Kernel::LoadService).
NTSTATUS LoadDriver(const std::u16string& service);
NTSTATUS UnloadDriver(const std::u16string& service);
NTSTATUS DriverRunning(const std::u16string& service, bool* running);

}  // namespace xp::kernel32::host
