// The component's module-wide state: one Winlogon, one instance. Winlogon's context pointer belongs to MSGINA, so
// everything of the component's own lives here.
#include "logongate_private.h"

namespace tavik::logongate {

Module& TheModule() {
  static Module* const module = new Module;  // lives as long as the process; Winlogon never unloads a GINA
  return *module;
}

}  // namespace tavik::logongate
