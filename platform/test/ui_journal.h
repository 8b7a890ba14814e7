// The UI's lines of a machine's journal, as a test reads them back. Test support only.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace xp::test {

// The journal's "ui " lines of `machine`, without the clock, process stamp and "ui ", from line `first` on.
std::vector<std::string> UiJournal(const std::filesystem::path& machine, size_t first = 0);

}  // namespace xp::test
