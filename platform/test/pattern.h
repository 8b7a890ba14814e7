// Reproducible test data: the same bytes for the same size and seed, in every test and every run. Test support
// only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xp::test {

// `size` bytes of a linear congruential sequence started from `seed`.
std::vector<uint8_t> Pattern(size_t size, uint8_t seed);

}  // namespace xp::test
