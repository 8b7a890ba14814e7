// Processes of the machine: CreateProcessA from a program on a drive, full 32-bit exit codes, command lines,
// program search, OpenProcess rules, and TerminateProcess that never ends a process the machine did not launch.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "machine_programs.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/faults.h"
#include "xp/processes.h"

namespace {

using xp::kernel32::testing::Install;
using xp::kernel32::testing::JournalEvents;

constexpr char kRecoverKit[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\recoverkit.exe";

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("XPMACHINE_USER");
    Install(machine_.root(), kRecoverKit);
  }
  void TearDown() override { ::unsetenv("XPMACHINE_USER"); }

  // CreateProcessA as the system calls it; the handles are closed by the caller.
  BOOL Start(const char* application, const std::string& command_line, PROCESS_INFORMATION* info) {
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    std::string line = command_line;
    return CreateProcessA(application, command_line.empty() ? nullptr : line.data(), nullptr, nullptr, FALSE,
                          CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, info);
  }

  // Starts, waits for the end and gives the exit code.
  DWORD RunToEnd(const char* application, const std::string& command_line) {
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(Start(application, command_line, &info)) << command_line << " error " << GetLastError();
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0xdeadbeef;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_TRUE(CloseHandle(info.hProcess));
    return code;
  }

  std::string LastLaunch() const {
    for (const std::string& event : JournalEvents(machine_.root())) {
      if (event.starts_with("launch ")) last_launch_ = event;
    }
    return last_launch_;
  }

  const xp::test::ScratchMachine machine_;
  mutable std::string last_launch_;
};

TEST_F(ProcessTest, ExitCodesKeepAll32Bits) {
  const struct {
    const char* how;
    DWORD code;
  } rows[] = {
      {"exit", 0}, {"exit", 1}, {"exit", 255}, {"exit", 256}, {"exit", 603}, {"exit", 0xFFFFFFFF}, {"return", 604},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(RunToEnd(kRecoverKit, std::string("recoverkit.exe ") + row.how + " " + std::to_string(row.code)),
              row.code)
        << row.how << " " << row.code;
  }
}

TEST_F(ProcessTest, ALaunchIsJournaledWithTheProgramAsStoredAndEndsWithItsExit) {
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start("c:\\PROGRAM FILES\\quillmarsh\\TAVIK\\xp\\RecoverKit.EXE", "", &info));
  ASSERT_EQ(WaitForSingleObject(info.hThread, INFINITE), WAIT_OBJECT_0) << "the thread ends with the process";
  const std::string pid = std::to_string(info.dwProcessId);
  EXPECT_EQ(info.dwThreadId, info.dwProcessId + 4);
  const std::vector<std::string> events = JournalEvents(machine_.root());
  EXPECT_EQ(events, (std::vector<std::string>{"launch pid " + pid + " " + kRecoverKit, "exit pid " + pid + " code 0"}));
  const std::optional<xp::machine::ProcessRecord> record = xp::machine::FindProcess(info.dwProcessId);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->parent, GetCurrentProcessId());
  EXPECT_EQ(record->image, kRecoverKit);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

TEST_F(ProcessTest, TheChildRunsAsTheCallersAccount) {
  ::setenv("XPMACHINE_USER", "user", 1);
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start(kRecoverKit, "", &info));
  WaitForSingleObject(info.hProcess, INFINITE);
  EXPECT_EQ(xp::machine::FindProcess(info.dwProcessId)->account, "User");
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

TEST_F(ProcessTest, TheCommandLineBecomesTheChildsArguments) {
  RunToEnd(nullptr, std::string("\"") + kRecoverKit + "\" args \"two words\" back\\\"slash");
  EXPECT_EQ(JournalEvents(machine_.root()).at(1),
            std::string("debug args ") + kRecoverKit + "|args|two words|back\"slash");
}

// Windows reads an unquoted path with spaces a prefix at a time, so a planted C:\Program.exe runs instead.
TEST_F(ProcessTest, AnUnquotedCommandLineRunsTheFirstPrefixThatExists) {
  RunToEnd(nullptr, kRecoverKit);
  EXPECT_EQ(LastLaunch().substr(LastLaunch().find("C:")), std::string(kRecoverKit) + " command line: " + kRecoverKit);
  Install(machine_.root(), "C:\\Program.exe");
  RunToEnd(nullptr, kRecoverKit);
  EXPECT_EQ(LastLaunch().substr(LastLaunch().find("C:")), std::string("C:\\Program.exe command line: ") + kRecoverKit);
}

TEST_F(ProcessTest, ABareNameIsLookedForInTheWindowsFoldersWithExeAdded) {
  Install(machine_.root(), "C:\\WINDOWS\\system32\\tokenreg.exe");
  EXPECT_EQ(RunToEnd(nullptr, "TOKENREG exit 7"), 7u);
  EXPECT_NE(LastLaunch().find(" C:\\WINDOWS\\system32\\tokenreg.exe command line: TOKENREG exit 7"), std::string::npos)
      << LastLaunch();
}

TEST_F(ProcessTest, AFailedStartSetsTheErrorLeavesTheRecordZeroAndStartsNothing) {
  Install(machine_.root(), "C:\\Program Files\\notes.exe", "just text\n");
  const struct {
    const char* application;
    const char* command_line;
    DWORD flags;
    DWORD error;
  } rows[] = {
      {"C:\\Program Files\\nothing.exe", nullptr, CREATE_DEFAULT_ERROR_MODE, ERROR_FILE_NOT_FOUND},
      {"C:\\nothing\\x.exe", nullptr, CREATE_DEFAULT_ERROR_MODE, ERROR_PATH_NOT_FOUND},
      {nullptr, "nothing at all", 0, ERROR_FILE_NOT_FOUND},
      {"C:\\Program Files", nullptr, 0, ERROR_ACCESS_DENIED},
      {"C:\\Program Files\\notes.exe", nullptr, 0, ERROR_BAD_EXE_FORMAT},
      {kRecoverKit, nullptr, 0x00000010 /* CREATE_NEW_CONSOLE */, ERROR_CALL_NOT_IMPLEMENTED},
      {nullptr, nullptr, 0, ERROR_INVALID_PARAMETER},
  };
  for (const auto& row : rows) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string line = row.command_line != nullptr ? row.command_line : "";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateProcessA(row.application, row.command_line != nullptr ? line.data() : nullptr, nullptr, nullptr,
                                FALSE, row.flags, nullptr, nullptr, &startup, &info));
    EXPECT_EQ(GetLastError(), row.error) << (row.application ? row.application : row.command_line);
    EXPECT_EQ(info.hProcess, nullptr);
    EXPECT_EQ(info.dwProcessId, 0u);
  }
  EXPECT_TRUE(JournalEvents(machine_.root()).empty());
  EXPECT_EQ(xp::machine::ListProcesses().size(), 3u) << "the pseudo entries and this test only";
}

TEST_F(ProcessTest, AnInjectedFaultFailsTheStart) {
  xp::machine::ArmFault(
      {xp::machine::FaultAction::kFail, "CreateProcessA", 1, 1, ERROR_NOT_ENOUGH_MEMORY, "recoverkit"});
  PROCESS_INFORMATION info{};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(Start(kRecoverKit, "", &info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(RunToEnd(kRecoverKit, ""), 0u) << "the next start works";
}

TEST_F(ProcessTest, AProcessRunsUntilTerminatedWithTheGivenCode) {
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start(kRecoverKit, "recoverkit.exe wait-for " + (machine_.root() / "never").string(), &info));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 20), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(TerminateProcess(info.hProcess, 0x2A5));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 0x2A5u);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(TerminateProcess(info.hProcess, 1)) << "it has ended already";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

TEST_F(ProcessTest, ACrashedProcessReportsTheAccessViolationCode) {
  EXPECT_EQ(RunToEnd(kRecoverKit, "recoverkit.exe crash"), 0xC0000005u);
}

TEST_F(ProcessTest, OpenProcessRefusesTheSystemEntriesUnknownIdsAndOtherAccountsProcesses) {
  PROCESS_INFORMATION admin_child{};
  ASSERT_TRUE(Start(kRecoverKit, "recoverkit.exe wait-for " + (machine_.root() / "go").string(), &admin_child));
  const DWORD self = GetCurrentProcessId();
  const struct {
    const char* account;
    DWORD pid;
    DWORD access;
    DWORD error;  // 0: opens
  } rows[] = {
      {"Administrator", 0, PROCESS_QUERY_INFORMATION, ERROR_ACCESS_DENIED},
      {"Administrator", 4, PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, ERROR_ACCESS_DENIED},
      {"Administrator", 999996, PROCESS_QUERY_INFORMATION, ERROR_INVALID_PARAMETER},
      {"Administrator", admin_child.dwProcessId, PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, 0},
      {"User", admin_child.dwProcessId, PROCESS_QUERY_INFORMATION, ERROR_ACCESS_DENIED},
      {"User", self, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, 0},
      {"Administrator", self, 0x0800 /* PROCESS_SUSPEND_RESUME */, ERROR_CALL_NOT_IMPLEMENTED},
  };
  for (const auto& row : rows) {
    ::setenv("XPMACHINE_USER", row.account, 1);
    SetLastError(0xdeadbeef);
    const HANDLE handle = OpenProcess(row.access, FALSE, row.pid);
    SCOPED_TRACE(std::string(row.account) + " opening " + std::to_string(row.pid));
    if (row.error == 0) {
      EXPECT_NE(handle, nullptr) << GetLastError();
      CloseHandle(handle);
    } else {
      EXPECT_EQ(handle, nullptr);
      EXPECT_EQ(GetLastError(), row.error);
    }
  }
  ::setenv("XPMACHINE_USER", "Administrator", 1);
  std::ofstream(machine_.root() / "go");
  WaitForSingleObject(admin_child.hProcess, INFINITE);
  CloseHandle(admin_child.hThread);
  CloseHandle(admin_child.hProcess);
}

TEST_F(ProcessTest, AHandleDoesOnlyWhatItsRightsAllow) {
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start(kRecoverKit, "recoverkit.exe exit 3", &info));
  WaitForSingleObject(info.hProcess, INFINITE);
  const HANDLE query = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
  const HANDLE terminate = OpenProcess(PROCESS_TERMINATE, FALSE, GetCurrentProcessId());
  ASSERT_NE(query, nullptr);
  ASSERT_NE(terminate, nullptr);
  DWORD code = 0;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WaitForSingleObject(query, 0), WAIT_FAILED) << "no SYNCHRONIZE right";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetExitCodeProcess(terminate, &code));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(TerminateProcess(query, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(GetExitCodeProcess(GetCurrentProcess(), &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  CloseHandle(query);
  CloseHandle(terminate);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

// A host process that entered the machine (here a forked copy of this test) is listed but never signalled.
TEST_F(ProcessTest, TerminateNeverEndsAProcessTheMachineDidNotLaunch) {
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t host = ::fork();
  if (host == 0) {
    const DWORD pid = GetCurrentProcessId();
    if (::write(pipe_fds[1], &pid, sizeof pid) != sizeof pid) _exit(1);
    ::pause();
    _exit(0);
  }
  DWORD pid = 0;
  ASSERT_EQ(::read(pipe_fds[0], &pid, sizeof pid), static_cast<ssize_t>(sizeof pid));
  const HANDLE handle = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, pid);
  ASSERT_NE(handle, nullptr);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(TerminateProcess(handle, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(::waitpid(host, nullptr, WNOHANG), 0) << "the host process still runs";
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(handle, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  CloseHandle(handle);
  ::kill(host, SIGKILL);
  ::waitpid(host, nullptr, 0);
  ::close(pipe_fds[0]);
  ::close(pipe_fds[1]);
}

}  // namespace
