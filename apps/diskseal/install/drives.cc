// The fixed drives, which the checks, the walks and the driver's volume list all go through in letter order.
#include "diskseal_private.h"

namespace tavik::diskseal {

std::vector<char> FixedDriveLetters() {
  std::vector<char> letters;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const char root[] = {letter, ':', '\\', '\0'};
    if (GetDriveTypeA(root) == DRIVE_FIXED) letters.push_back(letter);
  }
  return letters;
}

}  // namespace tavik::diskseal
