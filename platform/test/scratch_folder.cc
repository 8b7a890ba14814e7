// The throwaway folder of scratch_folder.h.
#include "scratch_folder.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

namespace xp::test {

ScratchFolder::ScratchFolder(const std::string& prefix) {
  for (const char* name : {"XPMACHINE", "XPMACHINE_CLOCK", "XPMACHINE_UI", "XPMACHINE_USER"}) {
    const char* value = ::getenv(name);
    saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
  }
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  for (const auto& [name, value] : saved_) {
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

}  // namespace xp::test
