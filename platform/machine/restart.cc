// Restart requests: what ExitWindowsEx leaves for the boot code, written whole or not at all.
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

#include "machine_private.h"
#include "xp/machine.h"

namespace xp::machine {

void RequestRestart(uint32_t flags) {
  const std::filesystem::path path = Root() / kRestartFile;
  const std::filesystem::path temporary = path.string() + ".new";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << "flags = " << flags << "\n";
    if (!file.flush()) Fatal("cannot write " + temporary.string());
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) Fatal("cannot write " + path.string() + ": " + error.message());
  Journal("restart requested (flags " + std::to_string(flags) + ")");
}

std::optional<uint32_t> PendingRestart() {
  std::ifstream file(Root() / kRestartFile);
  std::string key;
  std::string equals;
  uint32_t flags = 0;
  if (!(file >> key >> equals >> flags) || key != "flags" || equals != "=") return std::nullopt;
  return flags;
}

void ClearRestartRequest() {
  std::error_code error;
  std::filesystem::remove(Root() / kRestartFile, error);
  if (error) Fatal("cannot remove " + (Root() / kRestartFile).string() + ": " + error.message());
}

}  // namespace xp::machine
