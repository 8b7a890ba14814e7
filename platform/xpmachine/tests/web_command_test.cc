// xpmachine web start|stop as a person uses it: the service comes up in its own process for that machine, which
// then reaches it under the service's names (and has the browser), refuses a second start, and after the stop that
// very process has ended and nothing answers the machine's port 80 any more.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "run_program.h"
#include "scratch_folder.h"
#include "windows.h"
#include "wininet.h"
#include "xp/websvc.h"

namespace {

namespace fs = std::filesystem;

xp::test::ProgramRun Xpmachine(const std::vector<std::string>& arguments) {
  return xp::test::RunProgram(xp::test::BuildProgram("xpmachine"), arguments);
}

// The first bytes of the challenge page over the machine's port 80, or the error of the send.
std::string Challenge(DWORD* error) {
  const HINTERNET session = InternetOpenA("vb wininet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  const HINTERNET connection =
      InternetConnectA(session, xp::websvc::kClientHost, 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
  const HINTERNET request = HttpOpenRequestA(connection, "GET", "/tavik/cookieanswergen.asp?esnno=1", "HTTP/1.0",
                                             nullptr, nullptr, 0x80400000, 0);
  std::string body;
  *error = 0;
  char buffer[256];
  DWORD read = 0;
  if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
    *error = GetLastError();
  } else if (InternetReadFile(request, buffer, sizeof buffer, &read)) {
    body.assign(buffer, read);
  }
  InternetCloseHandle(session);
  return body;
}

// Gone, or a zombie that whoever adopted it has not reaped yet.
bool Ended(int pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(file, stat)) return true;
  return stat.substr(stat.rfind(')') + 2, 1) == "Z";
}

class WebCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = (base_ / "m").string();
    ASSERT_EQ(Xpmachine({"new", dir_}).exit_code, 0);
    ::setenv("XPMACHINE", dir_.c_str(), 1);
  }
  void TearDown() override {
    std::string ignored;
    xp::websvc::StopService(dir_, &ignored);
  }

  // Gives back XPMACHINE and the other machine variables the test sets, and removes the machines.
  xp::test::ScratchFolder scratch_{"xpmachine-web"};
  const fs::path base_ = scratch_.path();
  std::string dir_;
};

TEST_F(WebCommandTest, StartsTheServiceForTheMachineAndEndsItsOwnProcess) {
  const xp::test::ProgramRun started = Xpmachine({"web", "start", dir_});
  ASSERT_EQ(started.exit_code, 0) << started.output;
  const std::optional<xp::websvc::ServiceRecord> record = xp::websvc::ReadServiceRecord(dir_);
  ASSERT_TRUE(record);
  EXPECT_NE(started.output.find("127.0.0.1:" + std::to_string(record->http_port) + " (the machine's port 80)"),
            std::string::npos)
      << started.output;
  EXPECT_TRUE(fs::is_regular_file(fs::path(dir_) / "drives/C/Program Files/Web Browser/browser.exe"));
  DWORD error = 0;
  EXPECT_EQ(Challenge(&error), "<html><body>Unknown ESN</body></html>");
  EXPECT_EQ(error, 0u);

  const xp::test::ProgramRun again = Xpmachine({"web", "start", dir_});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.output.find("already runs"), std::string::npos) << again.output;

  ASSERT_EQ(Xpmachine({"web", "stop", dir_}).exit_code, 0);
  EXPECT_TRUE(Ended(record->pid));
  EXPECT_FALSE(xp::websvc::ReadServiceRecord(dir_));
  EXPECT_EQ(Challenge(&error), "");
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
  EXPECT_EQ(xp::websvc::ReadRequests(dir_).size(), 1u);  // the log stays for the person to read

  const xp::test::ProgramRun stopped = Xpmachine({"web", "stop", dir_});
  EXPECT_EQ(stopped.exit_code, 1);
  EXPECT_NE(stopped.output.find("does not run"), std::string::npos) << stopped.output;
}

TEST_F(WebCommandTest, RefusesWhatIsNoMachineOrNoCommand) {
  EXPECT_EQ(Xpmachine({"web", "start", (base_ / "none").string()}).exit_code, 1);
  EXPECT_EQ(Xpmachine({"web", "restart", dir_}).exit_code, 2);
  EXPECT_EQ(Xpmachine({"web", "start"}).exit_code, 2);
}

}  // namespace
