// Exported by setupcore. The key is opened with all access, as the writers need it.
#include "setupcore.h"
#include "windows.h"

char regKeyExists(const char* subkey, HKEY root) {
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &key);
  if (status == ERROR_SUCCESS) {
    RegCloseKey(key);
    return 0;
  }
  return status == ERROR_FILE_NOT_FOUND ? 1 : 2;
}
