// XPDEBUG=+winlogon,+ui: a scripted logon traces every call Winlogon makes into the GINA (each one the MSGINA
// stand-in journals as it receives it), the GINA's calls back through the dispatch table, and every dialog shown.
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "boot_fixture.h"

namespace xp::winlogon::testing {
namespace {

// What follows `marker` in the debug log's lines that winlogon.exe wrote.
std::vector<std::string> WinlogonTraces(const std::filesystem::path& root, const std::string& marker) {
  std::ifstream log(root / "debug.log");
  std::vector<std::string> found;
  for (std::string line; std::getline(log, line);) {
    const size_t at = line.find(" winlogon.exe: " + marker);
    if (at != std::string::npos) found.push_back(line.substr(at + 15 + marker.size()));
  }
  return found;
}

// The first group of each journal line that matches `pattern`.
std::vector<std::string> Journaled(const std::vector<std::string>& journal, const std::string& pattern) {
  const std::regex matcher(pattern);
  std::vector<std::string> found;
  std::smatch match;
  for (const std::string& line : journal) {
    if (std::regex_match(line, match, matcher)) found.push_back(match[1]);
  }
  return found;
}

using TraceTest = BootTest;

TEST_F(TraceTest, ALogonTracesEveryGinaCallAndEveryDialog) {
  ui::Script script;
  LogOn(script, "administrator", "admin");
  Answer(script);
  ::setenv("XPDEBUG", "+winlogon,+ui", 1);
  const boot::BootResult result = Boot();
  ::unsetenv("XPDEBUG");
  ASSERT_TRUE(result.booted) << result.error;

  const std::vector<std::string> journal = Journal();
  std::vector<std::string> calls;
  for (const std::string& line : WinlogonTraces(root(), "trace:winlogon:")) {
    if (line.ends_with(" called by Winlogon")) calls.push_back(line.substr(0, line.find(' ')));
  }
  const std::vector<std::string> received = Journaled(journal, "msgina (Wlx[A-Za-z]+)");
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(calls, received);

  const std::vector<std::string> traces = WinlogonTraces(root(), "trace:");
  EXPECT_NE(std::find(traces.begin(), traces.end(), "winlogon:WlxDialogBoxParam called by the GINA"), traces.end());
  std::vector<std::string> shown;
  for (const std::string& line : WinlogonTraces(root(), "trace:ui:DialogOpened ")) shown.push_back(line + " open");
  const std::vector<std::string> opened = Journaled(journal, "ui (dialog [0-9]+ .* open)");
  ASSERT_FALSE(opened.empty());
  EXPECT_EQ(shown, opened);
}

}  // namespace
}  // namespace xp::winlogon::testing
