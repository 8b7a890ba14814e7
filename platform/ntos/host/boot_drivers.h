// The drivers a booting kernel starts by itself: those whose service starts at boot, with the system or
// automatically (Start 0, 1 or 2); the others wait for the service manager.
#pragma once

#include "xp/ntos.h"

namespace xp::ntos::host {

// A driver that fails to start is reported on stderr and left out, as XP goes on with a normal-error driver.
void StartBootDrivers(Kernel& kernel);

}  // namespace xp::ntos::host
