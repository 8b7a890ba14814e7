// A whole install on a small machine, the restart it asks for (a real boot) and the finishing run at the next
// administrator's logon: every eligible file in the system's format, exactly once, and nothing else touched.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "install_machine.h"
#include "run_program.h"
#include "xp/machine.h"

extern char** environ;

namespace tavik::scenarios {
namespace {

// A service's program (it runs as SYSTEM, which the install never ends) holding a file open without sharing:
// xp_kernel32_file_holder, started with pipes, appends each line it is given and closes the file at the end.
class ServiceHoldingAFile {
 public:
  explicit ServiceHoldingAFile(const std::string& path) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const std::string program = xp::test::BuildProgram("xp_kernel32_file_holder");
    char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()), nullptr};
    ::setenv("XPMACHINE_USER", "SYSTEM", 1);
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
    ::unsetenv("XPMACHINE_USER");
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = ::fdopen(out[0], "r");
  }
  ~ServiceHoldingAFile() { End(); }
  bool Holds() {
    char line[64] = {};
    return output_ != nullptr && std::fgets(line, sizeof line, output_) != nullptr && std::string(line) == "held\n";
  }
  void Append(const std::string& line) { (void)::write(input_, line.data(), line.size()); }
  int End() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    if (output_ != nullptr) std::fclose(output_);
    output_ = nullptr;
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  FILE* output_ = nullptr;
};

TEST(WholeInstall, EncryptsEveryEligibleFileOnceAndFinishesAfterTheRestart) {
  InstallMachine machine;
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

  // The key handed to the driver as the logon component will hand it: every file reads back as it was.
  ASSERT_EQ(machine.HandOverKey(), 0);
  for (const UserFile& file : InstallMachine::UserFiles()) {
    SCOPED_TRACE(file.path);
    EXPECT_TRUE(machine.Read(file.path) == file.content);
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
  ServiceHoldingAFile holder(path);
  ASSERT_TRUE(holder.Holds());
  EXPECT_EQ(machine.RunFirstInstall(), 1);
  holder.Append("appended later\n");
  EXPECT_EQ(holder.End(), 0);
  EXPECT_EQ(machine.Read(path), "the service's own records;appended later\n");
  EXPECT_NE(machine.State().install_lists.at("MRVBADFILES").find(path), std::string::npos);
}

}  // namespace
}  // namespace tavik::scenarios
