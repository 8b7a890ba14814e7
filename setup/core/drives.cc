// The drives the install works on: fixed drives that carry a file system; and whether a drive is there at all.
#include "setupcore_private.h"

namespace tavik::setupcore {

std::vector<std::string> FormattedFixedRoots() {
  std::vector<std::string> roots;
  const DWORD drives = GetLogicalDrives();
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (!(drives & (1u << (letter - 'A')))) continue;
    const std::string root = std::string(1, letter) + ":\\";
    if (GetDriveTypeA(root.c_str()) != DRIVE_FIXED) continue;
    char file_system[MAX_PATH + 1] = {};
    if (GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, file_system, sizeof file_system) &&
        file_system[0] != '\0') {
      roots.push_back(root);
    }
  }
  return roots;
}

bool DriveExists(char letter) {
  const char upper = static_cast<char>(letter & ~0x20);
  if (upper < 'A' || upper > 'Z') return false;
  return (GetLogicalDrives() & (1u << (upper - 'A'))) != 0;
}

}  // namespace tavik::setupcore
