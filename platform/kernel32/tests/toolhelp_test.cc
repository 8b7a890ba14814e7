// Toolhelp snapshots list the machine's live processes, never the host's, and a process's program as its module, and
// are reached the way the system reaches them: LoadLibraryA("Kernel32.DLL") and GetProcAddress.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>

#include "machine_programs.h"
#include "scratch_machine.h"
#include "tlhelp32.h"
#include "windows.h"
#include "xp/faults.h"

extern char** environ;

namespace {

struct Entry {
  DWORD pid;
  DWORD parent;
  std::string exe;
  bool operator==(const Entry&) const = default;
};

std::vector<Entry> Walk() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
  std::vector<Entry> entries;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    entries.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  CloseHandle(snapshot);
  return entries;
}

class ToolhelpTest : public ::testing::Test {
 protected:
  const xp::test::ScratchMachine machine_;
};

TEST_F(ToolhelpTest, ListsTheLiveMachineProcessesAndNoHostProcess) {
  const std::string diskseal = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe";
  xp::kernel32::testing::Install(machine_.root(), diskseal);
  pid_t host_process = 0;
  char sleep_program[] = "sleep";
  char seconds[] = "30";
  char* argv[] = {sleep_program, seconds, nullptr};
  ASSERT_EQ(::posix_spawnp(&host_process, "sleep", nullptr, nullptr, argv, environ), 0);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION running{};
  PROCESS_INFORMATION ended{};
  std::string wait = "diskseal.exe wait-for " + (machine_.root() / "go").string();
  ASSERT_TRUE(
      CreateProcessA(diskseal.c_str(), wait.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &running));
  ASSERT_TRUE(
      CreateProcessA(diskseal.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &ended));
  WaitForSingleObject(ended.hProcess, INFINITE);

  const DWORD self = GetCurrentProcessId();
  const std::string test_program = std::filesystem::read_symlink("/proc/self/exe").filename().string();
  EXPECT_EQ(Walk(), (std::vector<Entry>{{0, 0, "[System Process]"},
                                        {4, 0, "System"},
                                        {self, 0, test_program},
                                        {running.dwProcessId, self, "diskseal.exe"}}));

  std::ofstream(machine_.root() / "go");
  WaitForSingleObject(running.hProcess, INFINITE);
  for (const HANDLE handle : {running.hThread, running.hProcess, ended.hThread, ended.hProcess}) CloseHandle(handle);
  ::kill(host_process, SIGKILL);
  ::waitpid(host_process, nullptr, 0);
}

TEST_F(ToolhelpTest, AModuleSnapshotListsTheProgramOfAProcessItMayRead) {
  const std::string diskseal = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe";
  xp::kernel32::testing::Install(machine_.root(), diskseal);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION running{};
  std::string wait = "diskseal.exe wait-for " + (machine_.root() / "go").string();
  ASSERT_TRUE(
      CreateProcessA(diskseal.c_str(), wait.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &running));
  const auto modules = [](DWORD pid) {
    std::vector<std::pair<std::string, std::string>> names;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    EXPECT_NE(snapshot, INVALID_HANDLE_VALUE) << pid;
    MODULEENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry)) {
      EXPECT_EQ(entry.th32ProcessID, pid);
      names.emplace_back(entry.szModule, entry.szExePath);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    CloseHandle(snapshot);
    return names;
  };
  EXPECT_EQ(modules(running.dwProcessId),
            (std::vector<std::pair<std::string, std::string>>{{"diskseal.exe", diskseal}}));
  EXPECT_TRUE(modules(4).empty()) << "System has no modules";

  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0x7FFFFFF0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ::setenv("XPMACHINE_USER", "User", 1);
  EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, running.dwProcessId), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "the administrator's process";
  ::unsetenv("XPMACHINE_USER");

  std::ofstream(machine_.root() / "go");
  WaitForSingleObject(running.hProcess, INFINITE);
  CloseHandle(running.hThread);
  CloseHandle(running.hProcess);
}

TEST_F(ToolhelpTest, TheSystemReachesItThroughKernel32DllByName) {
  const HMODULE kernel32 = LoadLibraryA("Kernel32.DLL");
  ASSERT_NE(kernel32, nullptr) << GetLastError();
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel32, "CreateToolhelp32Snapshot")),
            reinterpret_cast<void*>(&CreateToolhelp32Snapshot));
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel32, "Process32First")),
            reinterpret_cast<void*>(&Process32First));
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel32, "Process32Next")),
            reinterpret_cast<void*>(&Process32Next));
  EXPECT_TRUE(FreeLibrary(kernel32));
}

TEST_F(ToolhelpTest, RefusesWhatIsNotImplementedAndAWrongRecordSize) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateToolhelp32Snapshot(0x00000004 /* TH32CS_SNAPTHREAD */, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));

  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry;
  entry.dwSize = 296;  // the 32-bit record's size; this build's record is larger
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(Process32First(snapshot, &entry));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH));
  CloseHandle(snapshot);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(Process32Next(snapshot, &entry)) << "a closed snapshot";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ToolhelpTest, AnInjectedFaultFailsTheSnapshot) {
  xp::machine::ArmFault(
      {xp::machine::FaultAction::kFail, "CreateToolhelp32Snapshot", 1, 1, ERROR_NOT_ENOUGH_MEMORY, ""});
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

}  // namespace
