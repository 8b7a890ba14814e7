// Reading the machine description, DIR/machine.ini: "key = value" lines; blank lines and '#' comments are skipped.
#include <fstream>
#include <string>

#include "machine_private.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<std::string> SettingAt(const std::filesystem::path& root, const std::string& key) {
  std::ifstream file(root / kDescriptionFile);
  std::string line;
  while (std::getline(file, line)) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    const size_t equals = trimmed.find('=');
    if (equals == std::string::npos) continue;
    if (Trim(trimmed.substr(0, equals)) == key) return Trim(trimmed.substr(equals + 1));
  }
  return std::nullopt;
}

std::optional<std::string> Setting(const std::string& key) { return SettingAt(Root(), key); }

}  // namespace xp::machine
