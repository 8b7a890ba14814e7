// The service manager's way into the kernel: its driver calls go through the same seam as the file calls, so they
// reach the kernel host while the machine is booted and the process's own kernel otherwise.
#include "xp/driver_services.h"

#include "kernel/kernel_access.h"

namespace xp::kernel32 {

LONG LoadDriverService(const std::u16string& service) { return nt::LoadDriver(service); }

LONG UnloadDriverService(const std::u16string& service) { return nt::UnloadDriver(service); }

bool DriverServiceRunning(const std::u16string& service) {
  bool running = false;
  return NT_SUCCESS(nt::DriverRunning(service, &running)) && running;
}

}  // namespace xp::kernel32
