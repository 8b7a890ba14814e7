// The token's serial number as every component reads it: the first 8 characters of the identity area, cut at the
// first NUL or 0xFF. One rule, so that the installer, the logon and the uninstaller never disagree on a token.
#pragma once

#include <string>

namespace tavik {

inline constexpr size_t kEsnLength = 8;

// `area` holds `size` bytes read from the identity area (128 from GetESN).
std::string EsnText(const unsigned char* area, size_t size);

}  // namespace tavik
