// Changing one line of a machine's description (DIR/machine.ini), such as "wininet.timeout_ms", from a test. Test
// support only.
#pragma once

#include <filesystem>
#include <string>

namespace xp::test {

// Replaces the key's line, or adds one; throws std::runtime_error when the file cannot be written.
void SetMachineSetting(const std::filesystem::path& machine, const std::string& key, const std::string& value);

}  // namespace xp::test
