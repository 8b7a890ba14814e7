// Per-thread COM initialisation: each thread counts its own CoInitialize calls, and objects can be created only
// on a thread whose count is above zero.
#include "ole32_private.h"

namespace xp::ole32 {
namespace {

thread_local int initialize_count = 0;

}  // namespace

bool ThreadInitialized() { return initialize_count > 0; }

}  // namespace xp::ole32

// Exported by ole32.
extern "C" HRESULT CoInitialize(LPVOID reserved) {
  if (reserved != nullptr) return E_INVALIDARG;
  return xp::ole32::initialize_count++ == 0 ? S_OK : S_FALSE;
}

// Exported by ole32. A call without a matching CoInitialize changes nothing.
extern "C" void CoUninitialize(void) {
  if (xp::ole32::initialize_count > 0) --xp::ole32::initialize_count;
}
