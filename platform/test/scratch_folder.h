// A throwaway folder for a test, and the machine variables given back at its end. Test support only.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace xp::test {

// A fresh folder under the temporary directory, for tests that make their machines themselves (through
// `xpmachine new`, say) and for ScratchMachine. At its end the folder goes and XPMACHINE, XPMACHINE_CLOCK,
// XPMACHINE_UI and XPMACHINE_USER get back the values they had at its start (set or not), whatever the test set.
class ScratchFolder {
 public:
  // Throws std::runtime_error when no folder can be made.
  explicit ScratchFolder(const std::string& prefix = "xpmachine");
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
  std::filesystem::path path_;
};

}  // namespace xp::test
