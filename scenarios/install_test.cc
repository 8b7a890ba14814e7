// A whole install on a small machine, the restart it asks for (a real boot) and the finishing run at the next
// administrator's logon, the token logon of the logon component: every eligible file in the system's format, exactly once, and nothing else touched; and the
// registration program the finishing run starts registers the token and its password with the web service.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <memory>

#include "install_machine.h"
#include "program_dialogue.h"
#include "run_program.h"
#include "xp/machine.h"
#include "xp/usbtoken.h"

namespace tavik::scenarios {
namespace {

// A service's program (it runs as SYSTEM, which the install never ends) holding a file open without sharing:
// xp_kernel32_file_holder appends each line it is given and closes the file at the end.
std::unique_ptr<xp::test::ProgramDialogue> ServiceHolding(const std::string& path) {
  ::setenv("XPMACHINE_USER", "SYSTEM", 1);
  auto holder = std::make_unique<xp::test::ProgramDialogue>(xp::test::BuildProgram("xp_kernel32_file_holder"),
                                                           std::vector<std::string>{path});
  ::unsetenv("XPMACHINE_USER");
  return holder;
}

TEST(WholeInstall, EncryptsEveryEligibleFileOnceAndFinishesAfterTheRestart) {
  InstallMachine machine(RegistrationTool::kReal);
  EXPECT_EQ(machine.RunFirstInstall(), 1);
  EXPECT_EQ(xp::machine::PendingRestart(), EWX_REBOOT | EWX_FORCE);
  EXPECT_EQ(machine.Flag(), "0");
  EXPECT_TRUE(machine.RunSetupArmed());

  const MachineState state = machine.State();
  for (const UserFile& file : InstallMachine::UserFiles()) {
    SCOPED_TRACE(file.path);
    const auto found = state.files.find(file.path);
    ASSERT_NE(found, state.files.end());
    const std::string& entry = found->second;
    EXPECT_TRUE(entry.starts_with(file.eligible ? "encrypted " : "plain "));
    EXPECT_TRUE(entry.ends_with(" " + Digest(file.content))) << entry;
  }
  for (const auto& [path, entry] : state.files) EXPECT_FALSE(path.ends_with(".H1K")) << path;
  const size_t eligible =
      static_cast<size_t>(std::count_if(InstallMachine::UserFiles().begin(), InstallMachine::UserFiles().end(),
                                        [](const UserFile& f) { return f.eligible; }));
  EXPECT_EQ(std::count(state.install_lists.at("MRVENCHS").begin(), state.install_lists.at("MRVENCHS").end(), '\n'),
            static_cast<long>(eligible));

  const BootRun boot = machine.RestartAndLogOn();
  ASSERT_TRUE(boot.booted);
  ASSERT_TRUE(boot.diskseal_started);
  EXPECT_EQ(boot.diskseal_exit_code, 1);
  EXPECT_FALSE(machine.RunSetupArmed());
  const std::vector<std::string> ui = machine.UiJournal();
  const auto congratulated = [](const std::string& line) { return line.find("Congratulations!") != std::string::npos; };
  EXPECT_NE(std::find_if(ui.begin(), ui.end(), congratulated), ui.end());

  const std::vector<xp::websvc::Registration> registrations = machine.AwaitRegistration();
  const std::string esn = xp::usbtoken::List(machine.root()).front().esn;
  ASSERT_EQ(registrations.size(), 1u) << testing::PrintToString(machine.UiJournal());
  EXPECT_EQ(registrations[0].verdict, "registered");
  EXPECT_EQ(registrations[0].esn, esn);
  EXPECT_EQ(registrations[0].password, kPassword);
  const std::vector<xp::websvc::RequestRecord> requests = machine.WebRequests();
  ASSERT_EQ(requests.size(), 2u) << "the challenge, then the browser's registration page";
  EXPECT_EQ(requests[0], (xp::websvc::RequestRecord{"https", 443, "GET", "/tavik/cookieanswergen.asp?esnno=" + esn,
                                                     "HTTP/1.0", "client.teradolm.test", "vb wininet"}));
  EXPECT_TRUE(requests[1].target.starts_with("/tavik/CCookieSet.asp?sessionid=")) << requests[1].target;

  // The token logon handed the file key to the driver: every file reads back as it was, while the disk holds each
  // eligible one encrypted once, as the install left it.
  const MachineState logged_on = machine.State();
  for (const UserFile& file : InstallMachine::UserFiles()) {
    SCOPED_TRACE(file.path);
    EXPECT_TRUE(machine.Read(file.path) == file.content);
    EXPECT_EQ(logged_on.files.at(file.path), state.files.at(file.path));
  }
}

// One kernel for the machine: a file another program holds without sharing cannot be taken by the install, which
// leaves it plain and lists it; what the holder writes later lands in a plain file.
TEST(WholeInstall, AFileAServiceHoldsOpenStaysPlainAndWhole) {
  InstallMachine machine;
  const std::string path = "D:\\data\\held.bin";
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, "the service's own records;", 26, &written, nullptr));
  CloseHandle(file);
  const std::unique_ptr<xp::test::ProgramDialogue> holder = ServiceHolding(path);
  ASSERT_EQ(holder->ReadLine(), "held\n");
  EXPECT_EQ(machine.RunFirstInstall(), 1);
  holder->Write("appended later\n");
  EXPECT_EQ(holder->End(), 0);
  EXPECT_EQ(machine.Read(path), "the service's own records;appended later\n");
  EXPECT_NE(machine.State().install_lists.at("MRVBADFILES").find(path), std::string::npos);
}

}  // namespace
}  // namespace tavik::scenarios
