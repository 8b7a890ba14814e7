// The UI lines of ui_journal.h.
#include "ui_journal.h"

#include <algorithm>
#include <fstream>

namespace xp::test {

std::vector<std::string> UiJournal(const std::filesystem::path& machine, size_t first) {
  std::ifstream in(machine / "journal.log", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    const size_t stamp_end = line.find(' ', line.find(' ') + 1);  // "<ms> <pid> "
    if (stamp_end != std::string::npos && line.compare(stamp_end + 1, 3, "ui ") == 0) {
      lines.push_back(line.substr(stamp_end + 4));
    }
  }
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(first, lines.size())));
  return lines;
}

}  // namespace xp::test
