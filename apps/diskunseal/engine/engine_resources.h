// The engine's dialog templates (the report dialog and the message dialog), which the program's resource table
// lists beside its own: const xp::res::DialogResources kDialogs = {..., ReportDialogTemplate(),
// MessageDialogTemplate()};
#pragma once

#include "winres.h"

namespace tavik::diskunseal {

xp::res::DialogTemplate ReportDialogTemplate();
xp::res::DialogTemplate MessageDialogTemplate();

}  // namespace tavik::diskunseal
