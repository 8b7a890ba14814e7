// A machine's journal as a test reads it back: every line, or the UI's lines. Test support only.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace xp::test {

// The journal's lines of `machine` without the clock and process stamp ("<ms> <pid> "), from line `first` on.
std::vector<std::string> Journal(const std::filesystem::path& machine, size_t first = 0);
// The journal's "ui " lines of `machine`, without the stamp and "ui ", from UI line `first` on.
std::vector<std::string> UiJournal(const std::filesystem::path& machine, size_t first = 0);

}  // namespace xp::test
