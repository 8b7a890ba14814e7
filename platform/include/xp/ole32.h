// Fault points of the COM stand-in, for tests of callers that must cope with an object that cannot be created.
// Never included by system code.
#pragma once

#include "objbase.h"

namespace xp::ole32 {

// The next `times` CoCreateInstance calls of this process fail with `error` before any server is asked;
// times = 0 clears the fault.
void FailCreateInstance(int times, HRESULT error = REGDB_E_CLASSNOTREG);

}  // namespace xp::ole32
