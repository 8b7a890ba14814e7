// The framework tests' machine fixture.
#include "framework_fixture.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>

#include "xp/machine.h"

namespace xp::mfc::testing {

void FrameworkTest::SetUp() {
  for (const char* name : {"XPMACHINE", "XPMACHINE_CLOCK", "XPMACHINE_UI"}) {
    const char* value = ::getenv(name);
    saved_.emplace_back(name, value != nullptr ? value : "");
  }
  char pattern[] = "/tmp/xp-mfc-test-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  root_ = pattern;
  machine::Create(root_);
  ::setenv("XPMACHINE", root_.c_str(), 1);
  ::setenv("XPMACHINE_CLOCK", "virtual", 1);
  ::unsetenv("XPMACHINE_UI");
}

void FrameworkTest::TearDown() {
  for (const auto& [name, value] : saved_) {
    if (value.empty()) {
      ::unsetenv(name.c_str());
    } else {
      ::setenv(name.c_str(), value.c_str(), 1);
    }
  }
  std::filesystem::remove_all(root_);
}

std::vector<std::string> FrameworkTest::UiJournal() const {
  std::ifstream in(root_ / "journal.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    const size_t ui = line.find(" ui ");
    if (ui != std::string::npos) lines.push_back(line.substr(ui + 4));
  }
  return lines;
}

bool FrameworkTest::Journaled(const std::string& line) const {
  const std::vector<std::string> lines = UiJournal();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace xp::mfc::testing
