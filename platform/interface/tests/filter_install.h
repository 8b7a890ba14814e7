// The filter driver installed into a scratch machine as the setup program leaves it, and the test key material:
// morvel.sys in the system's drivers folder, the "Morvel" service (file-system driver, demand start), the rules
// (\WINDOWS excluded) and drive C: protected.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "pattern.h"

namespace xp::driver_interface::testing {

using Bytes = std::vector<uint8_t>;

struct TestKey {
  std::array<uint8_t, 16> kn;
  std::array<uint8_t, 32> xcfk;
  std::array<uint8_t, 32> efkn;  // the XCFK wrapped under kn
};
// The key every test installs; `seed` makes another one.
TestKey MakeKey(uint8_t seed = 0);

// The machine XPMACHINE names gets the driver, its service and its settings.
void InstallFilter(const std::filesystem::path& machine_root);

// The encrypted file format of `plain` under the key, as the setup programs write protected files.
Bytes Encrypted(const Bytes& plain, const TestKey& key);
using xp::test::Pattern;

std::string Hex(const uint8_t* data, size_t size);
Bytes ReadHostFile(const std::filesystem::path& path);
void WriteHostFile(const std::filesystem::path& path, const Bytes& bytes);

}  // namespace xp::driver_interface::testing
