// The RunOnce value that brings setup back at the next logon after a restart.
#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

constexpr char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore. Stored with its terminating NUL, like every other REG_SZ the library writes, so that
// no reader runs past the data.
bool setRunOnceKey(const char* name, const char* value) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, tavik::setupcore::kRunOnceKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                        static_cast<DWORD>(std::string_view(value).size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

// Exported by setupcore. True when the value was deleted.
bool delRunOnceValue(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, tavik::setupcore::kRunOnceKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status = RegDeleteValueA(key, name);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}
