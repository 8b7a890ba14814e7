// The context the stand-in keeps for Winlogon, and the check that every entry is handed it back unchanged: a GINA
// chained in front of this one must pass Winlogon's context through as it is.
#include <cstdlib>
#include <optional>

#include "msgina_private.h"
#include "xp/debug.h"
#include "xp/loader.h"
#include "xp/machine.h"

XP_DEBUG_CHANNEL(msgina);

namespace xp::msgina {
namespace {

// The module's state, as a DLL keeps it: nothing is left to free when Winlogon ends without a shutdown.
std::optional<Context> module_context;

}  // namespace

Context* StartContext() { return &module_context.emplace(); }

void EndContext() { module_context.reset(); }

Context& ContextOf(PVOID context, const char* entry) {
  if (!module_context || context != &*module_context) {
    machine::Journal(std::string("msgina ") + entry + " with a context that is not msgina's");
    XP_ERR(entry, "was given a context that WlxInitialize did not make");
    std::abort();
  }
  machine::Journal(std::string("msgina ") + entry);
  return *module_context;
}

HINSTANCE Module() { return ModuleOf(reinterpret_cast<const void*>(&Module)); }

}  // namespace xp::msgina
