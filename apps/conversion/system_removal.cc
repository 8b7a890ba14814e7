// The removal of what the install put into the system: the product's registry tree, the driver's service (through
// the driver-loading library, the one code that talks to the driver) and the desktop started again.
#include "conversion.h"
#include "interface.h"
#include "registry_tree.h"
#include "removal.h"
#include "shellapi.h"

namespace tavik::conversion {
namespace {

constexpr char kDeleteByHand[] =
    "Important:\r\nPlease ensure the following registry key and subkeys has been deleted.\r\nIf it still exists, "
    "manually remove it, then click OK:\r\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmarsh\\Tavik";

}  // namespace

bool RemoveProductRegistry(const RegistryRemovalBoxes& boxes) {
  HKEY company = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh", 0, KEY_ALL_ACCESS, &company) != ERROR_SUCCESS) {
    Box(boxes.owner, kDeleteByHand, boxes.open_failed_caption, MB_OK | boxes.icon);
    return false;
  }
  const LSTATUS status = setupcore::DeleteKeyTree(company, "Tavik");
  RegCloseKey(company);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    Box(boxes.owner, kDeleteByHand, boxes.delete_failed_caption, MB_OK | boxes.icon);
    return false;
  }
  return true;
}

bool RemoveDriverService() {
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return false;
  const int removed = removeKernel(manager, "Morvel");
  CloseServiceHandle(manager);
  return removed != 0;
}

void RestartDesktop() { ShellExecuteA(nullptr, "open", "explorer.exe", nullptr, nullptr, SW_SHOWNORMAL); }

}  // namespace tavik::conversion
