// Declarations shared inside ole32, grouped by the file that defines them.
#pragma once

#include "objbase.h"

namespace xp::ole32 {

// com_init.cc: true between the calling thread's first CoInitialize and its last CoUninitialize.
bool ThreadInitialized();

}  // namespace xp::ole32
