// Reading one registry text for the setup programs, and removing a service's registry tree from every control
// set.
#include <cstdio>

#include "setupcore_private.h"

// Exported by setupcore. Succeeds only when the data and a terminating NUL fit into out: a value stored without
// its NUL, or one that fills the buffer exactly, still reads as a terminated text. The type is not checked.
int getRegStrData(char* out, unsigned long size, HKEY root, const char* subkey, const char* value) {
  if (size == 0) return 0;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
  DWORD length = static_cast<DWORD>(size);
  const LSTATUS status = RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &length);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return 0;
  if (length > 0 && out[length - 1] == '\0') return 1;
  if (length >= size) {
    out[0] = '\0';
    return 0;
  }
  out[length] = '\0';
  return 1;
}

namespace tavik::setupcore {
namespace {

constexpr int kControlSets = 1000;

enum class Removal { kRemoved, kAbsent, kFailed };

// Removes the service from one Services key.
Removal RemoveService(const char* services_key, const char* service) {
  HKEY services = nullptr;
  const LSTATUS opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, services_key, 0, KEY_ALL_ACCESS, &services);
  if (opened == ERROR_FILE_NOT_FOUND) return Removal::kAbsent;
  if (opened != ERROR_SUCCESS) return Removal::kFailed;
  const LSTATUS deleted = DeleteKeyTree(services, service);
  RegCloseKey(services);
  if (deleted == ERROR_SUCCESS) return Removal::kRemoved;
  return deleted == ERROR_FILE_NOT_FOUND ? Removal::kAbsent : Removal::kFailed;
}

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore. Every numbered control set is cleaned, not only the first that held the service: a set
// left holding it (LastKnownGood) would bring the service back.
bool delKernelReg(const char* service, int* count) {
  using tavik::setupcore::Removal;
  int removed = 0;
  const Removal current = tavik::setupcore::RemoveService("SYSTEM\\CurrentControlSet\\Services", service);
  if (current == Removal::kFailed) return false;
  if (current == Removal::kRemoved) ++removed;
  for (int i = 0; i < tavik::setupcore::kControlSets; ++i) {
    char key[100];
    std::snprintf(key, sizeof key, "SYSTEM\\ControlSet%03d\\Services", i);
    const Removal numbered = tavik::setupcore::RemoveService(key, service);
    if (numbered == Removal::kFailed) return false;
    if (numbered == Removal::kRemoved) ++removed;
  }
  *count = removed;
  return true;
}
