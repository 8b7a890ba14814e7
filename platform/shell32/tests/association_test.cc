// Opening an address as the registration program does: FindExecutableA finds the program ".htm" files open with
// (the machine's browser once installed, a user's own choice before it), ShellExecuteA starts it with the address,
// and the browser stand-in journals the address it got and fetches it from the web service once.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "built_programs.h"
#include "scratch_machine.h"
#include "shellapi.h"
#include "windows.h"
#include "xp/processes.h"
#include "xp/registry.h"
#include "xp/websvc.h"

namespace {

namespace fs = std::filesystem;

class AssociationTest : public ::testing::Test {
 protected:
  AssociationTest() {
    fs::create_directories(Drive("Documents and Settings/Administrator/My Documents"));
    std::ofstream(Drive("Documents and Settings/Administrator/My Documents/temphtm.HTM")) << "\"<HTML> <\\HTML>\"\r\n";
    std::ofstream(Drive("notes.xyz")) << "x";
  }

  fs::path Drive(const std::string& path) const { return machine_.root() / "drives" / "C" / path; }

  // The program FindExecutableA gives, or "" with its result below 33 in *code.
  static std::string Find(const std::string& file, INT_PTR* code) {
    char result[MAX_PATH];
    std::memset(result, 'x', sizeof result);
    *code = reinterpret_cast<INT_PTR>(FindExecutableA(file.c_str(), nullptr, result));
    return result;
  }

  void WaitForTheMachinesPrograms() {
    for (const xp::machine::ProcessRecord& record : xp::machine::ListProcesses(true)) {
      if (record.launched) xp::machine::WaitForProcessEnd(record.pid, 10000);
    }
  }

  std::vector<std::string> Journal() const {
    std::ifstream file(machine_.root() / "journal.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
      const size_t second = line.find(' ', line.find(' ') + 1);
      if (line.find("browser ") == second + 1) lines.push_back(line.substr(second + 1));
    }
    return lines;
  }

  xp::test::ScratchMachine machine_;
};

constexpr char kTempFile[] = "C:\\Documents and Settings\\Administrator\\My Documents\\temphtm.HTM";

TEST_F(AssociationTest, FindsTheProgramAFileOpensWith) {
  INT_PTR code = 0;
  EXPECT_EQ(Find(kTempFile, &code), "");
  EXPECT_EQ(code, SE_ERR_NOASSOC);  // a machine without a browser yet

  xp::websvc::InstallBrowser(xp::test::BuildProgram("xp_browser"));
  const struct {
    std::string file;
    INT_PTR code;  // 33: any value above 32
    std::string program;
  } rows[] = {
      {kTempFile, 33, xp::websvc::kBrowserPath},
      {"c:\\documents and settings\\administrator\\my documents\\TEMPHTM.htm", 33, xp::websvc::kBrowserPath},
      {"C:\\Documents and Settings\\Administrator\\My Documents\\missing.htm", SE_ERR_FNF, ""},
      {"C:\\No Such Folder\\temphtm.HTM", SE_ERR_PNF, ""},
      {"C:\\notes.xyz", SE_ERR_NOASSOC, ""},
      {xp::websvc::kBrowserPath, 33, xp::websvc::kBrowserPath},  // a program opens as itself
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    EXPECT_EQ(Find(row.file, &code), row.program);
    if (row.code > 32) {
      EXPECT_GT(code, 32);
    } else {
      EXPECT_EQ(code, row.code);
    }
  }

  // The user's own classes come before the machine's.
  xp::registry::KeyId hive = 0, key = 0;
  ASSERT_EQ(xp::registry::OpenUserHive(u"Administrator", &hive), 0);
  ASSERT_EQ(xp::registry::CreateKey(hive, u"Software\\Classes\\htmlfile\\shell\\open\\command", &key, nullptr), 0);
  const std::string command = "C:\\Tools\\viewer.exe -page %1";
  ASSERT_EQ(xp::registry::SetValue(key, u"", REG_SZ,
                                   xp::registry::AnsiDataToStored(
                                       REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()), command.size() + 1)),
            0);
  EXPECT_EQ(Find(kTempFile, &code), "C:\\Tools\\viewer.exe");
}

TEST_F(AssociationTest, StartsTheBrowserWithTheAddressThatThenReachesTheService) {
  xp::websvc::Server server;  // installs the browser
  char program[MAX_PATH];
  ASSERT_GT(reinterpret_cast<INT_PTR>(FindExecutableA(kTempFile, nullptr, program)), 32);
  const std::string address =
      "https://client.teradolm.test/tavik/CCookieSet.asp?sessionid=S%201&answer=AB&esnno=12345678&p0=1&p1=1&p2=CD";
  const std::string quoted = "\"" + address + "\"";
  EXPECT_GT(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", program, quoted.c_str(), nullptr, SW_SHOWNORMAL)),
            32);
  WaitForTheMachinesPrograms();

  EXPECT_EQ(Journal(), (std::vector<std::string>{"browser opens " + address, "browser got HTTP 200 (45 bytes)"}));
  const std::vector<xp::websvc::RequestRecord> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].scheme, "https");
  EXPECT_EQ(requests[0].target, address.substr(address.find("/tavik/")));
  EXPECT_EQ(requests[0].host, "client.teradolm.test");
  EXPECT_EQ(server.Registrations().at(0).verdict, "unknown session");
}

// The parameters become the program's command line as they stand: an address not quoted is split at its blanks.
TEST_F(AssociationTest, TheBrowserSeesHowTheCommandLineWasSplit) {
  xp::websvc::InstallBrowser(xp::test::BuildProgram("xp_browser"));
  ASSERT_GT(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", xp::websvc::kBrowserPath,
                                                    "http://nowhere.test/a?sid=S 1", nullptr, SW_SHOWNORMAL)),
            32);
  WaitForTheMachinesPrograms();
  EXPECT_EQ(Journal(), (std::vector<std::string>{"browser opens http://nowhere.test/a?sid=S", "browser opens 1",
                                                 "browser cannot open http://nowhere.test/a?sid=S: error 12007",
                                                 "browser cannot open 1: not an http or https address"}));
}

TEST_F(AssociationTest, ReportsProgramsThatCannotStart) {
  const struct {
    const char* program;
    INT_PTR code;
  } rows[] = {
      {"C:\\Program Files\\Web Browser\\browser.exe", SE_ERR_PNF},
      {"C:\\Program Files\\browser.exe", SE_ERR_FNF},
      {"C:\\notes.xyz", SE_ERR_NOASSOC},  // only programs are started
  };
  for (const auto& row : rows) {
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", row.program, "x", nullptr, SW_SHOWNORMAL)),
              row.code)
        << row.program;
  }
}

}  // namespace
