// Applying the injected request faults that a token's state carries.
#pragma once

#include "token_state.h"

namespace xp::usbtoken {

// Counts one request against every matching fault; the error of the first fault that fails it, or 0.
DWORD InjectedFailure(FaultSettings& faults, DWORD code, std::optional<uint16_t> reg);

// Counts one use of a countdown (kAlways never runs out): true while it still applies.
bool ConsumeCountdown(int32_t& countdown);

}  // namespace xp::usbtoken
