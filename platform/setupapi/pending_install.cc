// CMP_WaitNoPendingInstallEvents: whether a device installation is still in progress on the machine.
#include "setupapi_private.h"
#include "windows.h"
#include "xp/machine.h"
#include "xp/pnp.h"

namespace {

constexpr DWORD kPollMs = 50;

}  // namespace

// Exported by setupapi. Waits on the machine's clock (at once under the virtual clock) while an installation is
// pending, up to `timeout` ms (INFINITE: for as long as it takes).
extern "C" DWORD CMP_WaitNoPendingInstallEvents(DWORD timeout) {
  if (const std::optional<DWORD> error = xp::setupapi::FaultOf("CMP_WaitNoPendingInstallEvents")) {
    SetLastError(*error);
    return WAIT_FAILED;
  }
  const uint64_t start = xp::machine::NowMs();
  while (xp::pnp::InstallPending()) {
    if (timeout != INFINITE && xp::machine::NowMs() - start >= timeout) return WAIT_TIMEOUT;
    xp::machine::SleepMs(kPollMs);
  }
  return WAIT_OBJECT_0;
}
