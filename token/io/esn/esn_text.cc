// The serial-number rule shared by every reader of the identity area.
#include "esn_text.h"

namespace tavik {

std::string EsnText(const unsigned char* area, size_t size) {
  std::string text;
  for (size_t i = 0; i < size && i < kEsnLength; ++i) {
    if (area[i] == 0x00 || area[i] == 0xFF) break;
    text.push_back(static_cast<char>(area[i]));
  }
  return text;
}

}  // namespace tavik
