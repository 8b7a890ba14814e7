// A key with subkeys cannot be deleted, so the tree goes deepest first.
#include "registry_tree.h"

namespace tavik::setupcore {

LSTATUS DeleteKeyTree(HKEY parent, const char* subkey) {
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExA(parent, subkey, 0, KEY_ALL_ACCESS, &key);
  if (status != ERROR_SUCCESS) return status;
  char child[256];
  for (;;) {
    DWORD length = sizeof child;
    status = RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS) status = DeleteKeyTree(key, child);
    if (status != ERROR_SUCCESS) {
      RegCloseKey(key);
      return status;
    }
  }
  RegCloseKey(key);
  return RegDeleteKeyA(parent, subkey);
}

}  // namespace tavik::setupcore
