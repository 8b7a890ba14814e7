// The cipher wrappers over the key cipher library's hex-text exports, bound by name at the first call.
#pragma once

#include <string>

namespace aesAPI {

// Upper-case hex of data's ANSI bytes encrypted under keyHex; "" when the library gives no string (a refused
// length or key) or cannot be bound.
std::u16string EncKeyHex(const std::u16string& data, const std::u16string& keyHex);
// The plain bytes of hex under keyHex, as text; "" as for EncKeyHex.
std::u16string DecKeyHex(const std::u16string& hex, const std::u16string& keyHex);

}  // namespace aesAPI
