// The framework tests' machine fixture.
#include "framework_fixture.h"

#include <algorithm>

#include "ui_journal.h"

namespace xp::mfc::testing {

std::vector<std::string> FrameworkTest::UiJournal() const { return xp::test::UiJournal(machine_.root()); }

bool FrameworkTest::Journaled(const std::string& line) const {
  const std::vector<std::string> lines = UiJournal();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace xp::mfc::testing
