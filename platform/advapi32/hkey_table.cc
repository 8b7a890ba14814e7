// The process's table of open registry keys: an HKEY is an opaque, pointer-sized number that names a key of the
// store and the rights it was opened with. Handles are never reused while the process lives.
#include <mutex>
#include <unordered_map>

#include "advapi32_private.h"
#include "security_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(advapi32);

namespace xp::advapi32 {
namespace {

constexpr uintptr_t kFirstHandle = 0x1000;
constexpr uintptr_t kHandleStep = 4;

struct Table {
  std::mutex mutex;
  std::unordered_map<uintptr_t, OpenedKey> keys;
  uintptr_t next = kFirstHandle;
};

Table& TheTable() {
  static Table table;
  return table;
}

}  // namespace

bool IsPredefinedKey(HKEY hkey) {
  return hkey == HKEY_CLASSES_ROOT || hkey == HKEY_CURRENT_USER || hkey == HKEY_LOCAL_MACHINE || hkey == HKEY_USERS;
}

HKEY InsertKey(const OpenedKey& key) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  const uintptr_t handle = table.next;
  table.next += kHandleStep;
  table.keys.emplace(handle, key);
  return reinterpret_cast<HKEY>(handle);
}

LONG ResolveKey(HKEY hkey, OpenedKey* key) {
  if (hkey == HKEY_LOCAL_MACHINE) {
    *key = OpenedKey{registry::kMachineKey, KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  if (hkey == HKEY_USERS) {
    *key = OpenedKey{registry::kUsersKey, KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  if (hkey == HKEY_CURRENT_USER) {
    *key = OpenedKey{0, KEY_ALL_ACCESS};
    return registry::OpenUserHive(registry::Utf8ToUtf16(ThreadAccountName()), &key->id);
  }
  if (hkey == HKEY_CLASSES_ROOT) return Unimplemented("ResolveKey", "HKEY_CLASSES_ROOT");
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  const auto found = table.keys.find(reinterpret_cast<uintptr_t>(hkey));
  if (found == table.keys.end()) return ERROR_INVALID_HANDLE;
  *key = found->second;
  return ERROR_SUCCESS;
}

LONG ResolveKeyFor(HKEY hkey, REGSAM required, OpenedKey* key) {
  const LONG resolved = ResolveKey(hkey, key);
  if (resolved != ERROR_SUCCESS) return resolved;
  return (key->access & required) == required ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

bool RemoveKey(HKEY hkey) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.keys.erase(reinterpret_cast<uintptr_t>(hkey)) == 1;
}

bool SupportedAccess(REGSAM sam) { return (sam & ~REGSAM{KEY_ALL_ACCESS}) == 0; }

LONG Unimplemented(const char* function, const std::string& what) {
  XP_FIXME(function, "%s", what.c_str());
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace xp::advapi32
