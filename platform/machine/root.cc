// Finding the machine this process runs in: the folder that XPMACHINE names, holding a machine.ini.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#include "machine_private.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

std::filesystem::path FromEnvironment(const char* value) {
  std::filesystem::path root = std::filesystem::absolute(value).lexically_normal();
  if (!root.has_filename()) root = root.parent_path();  // "dir/" names the same machine as "dir"
  return root;
}

bool IsMachineFolder(const std::filesystem::path& dir) {
  std::error_code error;
  return std::filesystem::is_regular_file(dir / kDescriptionFile, error);
}

}  // namespace

[[noreturn]] void Fatal(const std::string& message) {
  std::fprintf(stderr, "xpmachine: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

const std::filesystem::path& Root() {
  // Cached per thread and refreshed when the variable changes, so a caller's reference stays valid. A folder is
  // checked once: most calls of every program ask for the root, and a machine stays one while it is in use.
  thread_local std::string seen;
  thread_local std::filesystem::path root;
  thread_local bool checked = false;
  const char* value = std::getenv("XPMACHINE");
  if (value == nullptr || *value == '\0') {
    Fatal("XPMACHINE is not set: run the program inside a machine (xpmachine run DIR PROGRAM ...)");
  }
  if (seen != value) {
    seen = value;
    root = FromEnvironment(value);
    checked = false;
  }
  if (!checked) {
    if (!IsMachineFolder(root)) Fatal("XPMACHINE=" + seen + " is not a machine folder (no " + kDescriptionFile + ")");
    checked = true;
  }
  return root;
}

bool Present() {
  // Only a yes is kept: a folder named before it was made a machine becomes one later.
  thread_local std::string machine_seen;
  const char* value = std::getenv("XPMACHINE");
  if (value == nullptr || *value == '\0') return false;
  if (machine_seen == value) return true;
  if (!IsMachineFolder(FromEnvironment(value))) return false;
  machine_seen = value;
  return true;
}

}  // namespace xp::machine
