// Test hooks of the SetupAPI stand-in: the count of live device information sets (for leak checks) and
// injected failures of the enumeration calls. They act on the calling process only. Included as
// "xp/setupapi_testing.h".
#pragma once

#include <cstddef>

#include "windef.h"

namespace xp::setupapi {

// Sets made by SetupDiGetClassDevsA and not yet destroyed.
size_t LiveSetCount();

// Until ClearFaults: SetupDiGetClassDevsA builds no set and fails with `error`.
void FailClassDevs(DWORD error);
// Until ClearFaults: SetupDiEnumDeviceInterfaces, or SetupDiGetDeviceInterfaceDetailA for the member enumerated
// at that index, fails with `error` at member `index`.
void FailEnumAt(DWORD index, DWORD error);
void FailDetailAt(DWORD index, DWORD error);
void ClearFaults();

}  // namespace xp::setupapi
