// Declarations shared inside advapi32, grouped by the file that defines them.
#pragma once

#include <string>

#include "windows.h"
#include "xp/registry.h"

namespace xp::advapi32 {

// What an HKEY stands for: a key of the store and the rights it was opened with.
struct OpenedKey {
  registry::KeyId id = 0;
  REGSAM access = 0;
};

// hkey_table.cc: the process's open keys. The predefined keys resolve to their roots with every right;
// HKEY_CURRENT_USER to the hive of the account the thread acts as (an impersonated one, else the process's).
HKEY InsertKey(const OpenedKey& key);
// ERROR_SUCCESS, or ERROR_INVALID_HANDLE for a handle never opened or already closed.
LONG ResolveKey(HKEY hkey, OpenedKey* key);
// ResolveKey, then ERROR_ACCESS_DENIED unless the handle holds every right in `required`.
LONG ResolveKeyFor(HKEY hkey, REGSAM required, OpenedKey* key);
bool RemoveKey(HKEY hkey);
bool IsPredefinedKey(HKEY hkey);
// True for the rights a caller may ask for here (those of KEY_ALL_ACCESS).
bool SupportedAccess(REGSAM sam);
// A call or flag outside what the system uses: said aloud on stderr, the last error set, and the code the caller
// returns (ERROR_CALL_NOT_IMPLEMENTED).
LONG Unimplemented(const char* function, const std::string& what);

}  // namespace xp::advapi32
