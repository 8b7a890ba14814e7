// SHA-1 (FIPS 180-1), for the token's challenge operations that hash a secret before encrypting it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavik::cipher {

std::array<uint8_t, 20> Sha1(const uint8_t* data, size_t length);

}  // namespace tavik::cipher
