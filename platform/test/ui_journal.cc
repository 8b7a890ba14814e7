// The journal lines of ui_journal.h.
#include "ui_journal.h"

#include <algorithm>
#include <fstream>
#include <utility>

namespace xp::test {
namespace {

// Every line of the journal, without its "<ms> <pid> " stamp.
std::vector<std::string> Unstamped(const std::filesystem::path& machine) {
  std::ifstream in(machine / "journal.log", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    const size_t stamp_end = line.find(' ', line.find(' ') + 1);
    lines.push_back(stamp_end != std::string::npos ? line.substr(stamp_end + 1) : line);
  }
  return lines;
}

std::vector<std::string> From(std::vector<std::string> lines, size_t first) {
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(first, lines.size())));
  return lines;
}

}  // namespace

std::vector<std::string> Journal(const std::filesystem::path& machine, size_t first) {
  return From(Unstamped(machine), first);
}

std::vector<std::string> UiJournal(const std::filesystem::path& machine, size_t first) {
  std::vector<std::string> ui;
  for (const std::string& line : Unstamped(machine)) {
    if (line.starts_with("ui ")) ui.push_back(line.substr(3));
  }
  return From(std::move(ui), first);
}

}  // namespace xp::test
