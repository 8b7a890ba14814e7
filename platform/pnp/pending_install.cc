// A device installation in progress: the mark DIR/devices/install-pending, set and cleared by tests and xpmachine.
#include <fstream>
#include <system_error>

#include "xp/machine.h"
#include "xp/pnp.h"

namespace xp::pnp {
namespace {

std::filesystem::path MarkPath() { return machine::Root() / "devices" / "install-pending"; }

}  // namespace

void SetInstallPending(bool pending) {
  std::error_code error;
  if (pending) {
    std::filesystem::create_directories(MarkPath().parent_path(), error);
    std::ofstream(MarkPath()).put('\n');
  } else {
    std::filesystem::remove(MarkPath(), error);
  }
}

bool InstallPending() {
  std::error_code error;
  return std::filesystem::exists(MarkPath(), error);
}

}  // namespace xp::pnp
