// The driver side of the service manager: loading and unloading a driver service in the kernel this process
// reaches (the booted machine's kernel host, else the kernel in this process). Provided by kernel32, called by
// advapi32. Never included by system code.
#pragma once

#include <string>

#include "windef.h"

namespace xp::kernel32 {

// NtLoadDriver for the service's key (its Type and ImagePath): an NTSTATUS, STATUS_IMAGE_ALREADY_LOADED
// (0xC000010E) when the driver runs already.
LONG LoadDriverService(const std::u16string& service);
// NtUnloadDriver: STATUS_INVALID_DEVICE_REQUEST (0xC0000010) for a driver that cannot unload.
LONG UnloadDriverService(const std::u16string& service);
bool DriverServiceRunning(const std::u16string& service);
// The Win32 error XP reports for a kernel status (status_to_error.cc).
DWORD Win32ErrorFromStatus(LONG status);

}  // namespace xp::kernel32
