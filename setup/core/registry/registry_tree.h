// Removing a registry key with everything under it, shared by setupcore and the setup programs.
#pragma once

#include "windows.h"

namespace tavik::setupcore {

// Deletes `subkey` of `parent` with all its subkeys, deepest first. ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when it is
// not there, or the first other error (the key then stays, with what was not yet deleted).
LSTATUS DeleteKeyTree(HKEY parent, const char* subkey);

}  // namespace tavik::setupcore
