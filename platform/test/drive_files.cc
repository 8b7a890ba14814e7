// The host's view of the drive folders, drive_files.h.
#include "drive_files.h"

#include <fstream>
#include <iterator>

namespace xp::test {

std::filesystem::path DriveFile(const std::filesystem::path& machine, char drive, const std::string& relative) {
  return machine / "drives" / std::string(1, drive) / relative;
}

std::vector<uint8_t> DriveBytes(const std::filesystem::path& machine, char drive, const std::string& relative) {
  std::ifstream file(DriveFile(machine, drive, relative), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void PutDriveFile(const std::filesystem::path& machine, char drive, const std::string& relative,
                  const std::vector<uint8_t>& bytes) {
  const std::filesystem::path path = DriveFile(machine, drive, relative);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace xp::test
