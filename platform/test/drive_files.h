// A machine's drive folders seen from the host, behind the machine's back: the bytes as the disk holds them, and
// files put there as a person would. Test support only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace xp::test {

// DIR/drives/<drive>/<relative>; `relative` uses '/'.
std::filesystem::path DriveFile(const std::filesystem::path& machine, char drive, const std::string& relative);
// The file's bytes; empty when it cannot be read.
std::vector<uint8_t> DriveBytes(const std::filesystem::path& machine, char drive, const std::string& relative);
// Writes the file whole, making the folders on the way.
void PutDriveFile(const std::filesystem::path& machine, char drive, const std::string& relative,
                  const std::vector<uint8_t>& bytes);

}  // namespace xp::test
