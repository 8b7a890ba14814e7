// The way the machine was started this time: normally, or in safe mode (the boot menu's choice, which lasts until
// the next boot). A description with "safe_mode = yes" always starts safe.
#include <fstream>
#include <string>
#include <system_error>

#include "machine_private.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

constexpr char kSafe[] = "safe";
constexpr char kSafeWithNetworking[] = "safe-with-networking";

}  // namespace

BootMode CurrentBootMode() {
  if (Setting("safe_mode") == "yes") return BootMode::kSafe;
  std::ifstream file(Root() / kBootModeFile);
  std::string mode;
  file >> mode;
  if (mode == kSafe) return BootMode::kSafe;
  if (mode == kSafeWithNetworking) return BootMode::kSafeWithNetworking;
  return BootMode::kNormal;
}

void SetBootMode(BootMode mode) {
  const std::filesystem::path path = Root() / kBootModeFile;
  std::error_code error;
  if (mode == BootMode::kNormal) {
    std::filesystem::remove(path, error);
    if (error) Fatal("cannot remove " + path.string() + ": " + error.message());
    return;
  }
  const std::filesystem::path temporary = path.string() + ".new";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << (mode == BootMode::kSafe ? kSafe : kSafeWithNetworking) << "\n";
    if (!file.flush()) Fatal("cannot write " + temporary.string());
  }
  std::filesystem::rename(temporary, path, error);
  if (error) Fatal("cannot write " + path.string() + ": " + error.message());
}

}  // namespace xp::machine
