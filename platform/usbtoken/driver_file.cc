// The token's driver file. The device itself is emulated (driver.cc); the file stands for the driver a machine must
// have installed before a plugged token's device works, and carries the version record that an installer's
// version check reads: the VS_FIXEDFILEINFO of a version resource, on a 4-byte boundary.
#include <fstream>
#include <stdexcept>
#include <string>

#include "xp/usbtoken.h"

namespace xp::usbtoken {
namespace {

constexpr char kHeader[] = "nubousb.sys: the driver of the USB token\n";
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedFileInfoVersion = 0x00010000;
constexpr uint32_t kFileVersionMs = 0x00010000;  // 1.0
constexpr uint32_t kFileVersionLs = 0x00000001;  // .0.1
constexpr uint32_t kVosNtWindows32 = 0x00040004;
constexpr uint32_t kVftDriver = 3;
constexpr uint32_t kVft2DriverSystem = 7;

void PutU32(std::string* image, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) image->push_back(static_cast<char>((value >> shift) & 0xFF));
}

}  // namespace

std::string DriverFileImage() {
  std::string image = kHeader;
  image.resize((image.size() + 3) / 4 * 4, '\0');
  for (const uint32_t field :
       {kFixedFileInfoSignature, kFixedFileInfoVersion, kFileVersionMs, kFileVersionLs, kFileVersionMs, kFileVersionLs,
        0x3Fu, 0u, kVosNtWindows32, kVftDriver, kVft2DriverSystem, 0u, 0u}) {
    PutU32(&image, field);
  }
  return image;
}

void InstallDriverFile(const std::filesystem::path& machine) {
  if (!std::filesystem::is_directory(machine / "drives" / "C")) return;  // a machine without a system drive
  const std::filesystem::path folder = machine / "drives" / "C" / "WINDOWS" / "system32" / "drivers";
  std::filesystem::create_directories(folder);
  std::ofstream file(folder / kDriverFileName, std::ios::binary | std::ios::trunc);
  file << DriverFileImage();
  file.close();
  if (!file) throw std::runtime_error("cannot write " + (folder / kDriverFileName).string());
}

}  // namespace xp::usbtoken
