// The clients' side of the key cipher, written here from its description for the tests (the system's own cipher
// library is not this stand-in's to use): E_K(IV), then CBC from IV, the tail stolen into the last whole block.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace xp::websvc::testing {

// 2 (n + 16) upper-case hex digits; the IV is the caller's, so that known vectors can be checked.
std::string EncryptKeyCipher(const std::string& plain, const std::string& key_hex, const std::array<uint8_t, 16>& iv);
// The same with a random IV.
std::string EncryptKeyCipher(const std::string& plain, const std::string& key_hex);

}  // namespace xp::websvc::testing
