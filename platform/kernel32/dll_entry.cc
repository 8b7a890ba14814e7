// The registered DLL entry points and the loader lock: process attach and detach from each library's ELF
// constructor and destructor, thread attach and detach from the threads CreateThread starts.
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "kernel32_private.h"
#include "xp/debug.h"
#include "xp/loader.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp {
namespace {

struct Registered {
  HINSTANCE module;
  DllEntry entry;
  bool thread_notices = true;
};

// Entries are called with the loader lock held, one at a time, as on XP.
struct Loader {
  std::recursive_mutex lock;
  std::vector<Registered> entries;
};

// Never destroyed: libraries unregister from their ELF destructors, after static destructors have run.
Loader& TheLoader() {
  static Loader* const loader = new Loader;
  return *loader;
}

thread_local bool loading_library = false;
thread_local bool failed_init = false;

}  // namespace

HINSTANCE ModuleOf(const void* address) {
  Dl_info info;
  link_map* map = nullptr;
  if (::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) return nullptr;
  return map;  // glibc's dlopen handle for a library is its link_map
}

void RegisterDllEntry(HINSTANCE module, DllEntry entry) {
  Loader& loader = TheLoader();
  const std::lock_guard<std::recursive_mutex> lock(loader.lock);
  loader.entries.push_back({module, entry});
  if (entry(module, DLL_PROCESS_ATTACH, nullptr)) return;
  if (loading_library) {
    failed_init = true;
    return;
  }
  XP_ERR("DllMain", "a library linked by this program failed its initialisation");
  std::_Exit(EXIT_FAILURE);
}

void UnregisterDllEntry(HINSTANCE module) {
  Loader& loader = TheLoader();
  const std::lock_guard<std::recursive_mutex> lock(loader.lock);
  const auto found = std::find_if(loader.entries.begin(), loader.entries.end(),
                                  [&](const Registered& r) { return r.module == module; });
  if (found == loader.entries.end()) return;  // already detached after a failed initialisation
  const Registered registered = *found;
  loader.entries.erase(found);
  registered.entry(registered.module, DLL_PROCESS_DETACH, nullptr);
}

namespace kernel32 {

void NotifyDllsOfThread(DWORD reason) {
  Loader& loader = TheLoader();
  const std::lock_guard<std::recursive_mutex> lock(loader.lock);
  const std::vector<Registered> entries = loader.entries;
  for (const Registered& registered : entries) {
    if (registered.thread_notices) registered.entry(registered.module, reason, nullptr);
  }
}

bool IsRegisteredModule(HMODULE module) {
  Loader& loader = TheLoader();
  const std::lock_guard<std::recursive_mutex> lock(loader.lock);
  return std::any_of(loader.entries.begin(), loader.entries.end(),
                     [&](const Registered& r) { return r.module == module; });
}

void SetLoadingLibrary(bool loading) {
  loading_library = loading;
  if (loading) failed_init = false;
}

bool TakeFailedDllInit() {
  const bool failed = failed_init;
  failed_init = false;
  return failed;
}

}  // namespace kernel32
}  // namespace xp

// Exported by kernel32.
extern "C" BOOL DisableThreadLibraryCalls(HMODULE module) {
  xp::Loader& loader = xp::TheLoader();
  const std::lock_guard<std::recursive_mutex> lock(loader.lock);
  for (xp::Registered& registered : loader.entries) {
    if (registered.module != module) continue;
    registered.thread_notices = false;
    return TRUE;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}
