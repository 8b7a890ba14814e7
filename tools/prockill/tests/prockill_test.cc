// prockill over the machine's process table: KillProcessByName's codes, each way there (the stand-ins' fault
// points for the failures), on the NT family and on a machine described as Windows 98; and the program itself,
// started in the machine, whose exit codes the process table keeps whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "built_programs.h"
#include "kill_process.h"
#include "machine_setting.h"
#include "scratch_machine.h"
#include "xp/faults.h"
#include "xp/processes.h"

namespace {

namespace fs = std::filesystem;

xp::machine::Fault Fails(const char* operation, const char* path = "", uint32_t error = ERROR_ACCESS_DENIED) {
  xp::machine::Fault fault;
  fault.operation = operation;
  fault.error = error;
  fault.path_contains = path;
  return fault;
}

class ProcKillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Copy("xp_kernel32_child", "WINDOWS/NOTEPAD.EXE");
    Copy("prockill", "Program Files/prockill.exe");
  }
  void TearDown() override {
    xp::machine::ClearFaults();
    std::ofstream(machine_.root() / "go");
    for (const xp::machine::ProcessRecord& record : xp::machine::ListProcesses(true)) {
      if (record.launched) xp::machine::WaitForProcessEnd(record.pid, 10000);
    }
  }

  void Copy(const char* target_name, const std::string& placed) {
    const fs::path target = machine_.root() / "drives/C" / placed;
    fs::copy_file(xp::test::BuildProgram(target_name), target);
    fs::permissions(target, fs::perms::owner_all, fs::perm_options::add);
  }
  // The Windows the machine's description names; "XP" is the default's.
  void DescribeAs(const char* windows) { xp::test::SetMachineSetting(machine_.root(), "windows", windows); }

  // A waiting NOTEPAD.EXE of the machine, as `account`.
  uint32_t StartNotepad(const std::string& account = "Administrator") {
    xp::machine::LaunchRequest request{machine_.root() / "drives/C/WINDOWS/NOTEPAD.EXE",
                                       "C:\\WINDOWS\\NOTEPAD.EXE",
                                       {"notepad.exe", "wait-for", (machine_.root() / "go").string()},
                                       account,
                                       ""};
    xp::machine::LaunchedProcess launched;
    EXPECT_EQ(xp::machine::LaunchProcess(request, &launched), 0);
    return launched.pid;
  }
  static std::optional<uint32_t> ExitCode(uint32_t pid) {
    xp::machine::WaitForProcessEnd(pid, 10000);
    return xp::machine::FindProcess(pid)->exit_code;
  }
  static bool Live(uint32_t pid) { return xp::machine::FindProcess(pid)->live; }

  // prockill.exe run in the machine, and the exit code the process table kept.
  uint32_t RunProcKill(const std::vector<std::string>& arguments) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = "prockill.exe";
    for (const std::string& argument : arguments) line += " " + argument;
    EXPECT_TRUE(CreateProcessA("C:\\Program Files\\prockill.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
  }

  const xp::test::ScratchMachine machine_;
};

TEST_F(ProcKillTest, EndsTheFirstProcessWithTheNameInAnyLetterCase) {
  const uint32_t first = StartNotepad();
  const uint32_t second = StartNotepad();
  EXPECT_EQ(KillProcessByName("notepad.exe"), kKilled);
  EXPECT_EQ(ExitCode(first), 0u);
  EXPECT_TRUE(Live(second));
  EXPECT_EQ(KillProcessByName("NotePad.Exe"), kKilled);
  EXPECT_EQ(ExitCode(second), 0u);
  EXPECT_EQ(KillProcessByName("notepad.exe"), kNoMatch);
}

TEST_F(ProcKillTest, EachFailureHasItsCode) {
  const struct {
    const char* name;
    const char* windows;  // the machine's description; nullptr: XP
    std::vector<xp::machine::Fault> faults;
    const char* argument;
    DWORD code;
  } rows[] = {
      {"GetVersionExA fails", nullptr, {Fails("GetVersionExA")}, "notepad.exe", kVersionUnknown},
      {"neither 9x nor NT", "Win32s", {}, "notepad.exe", kPlatformUnknown},
      {"PSAPI.DLL does not load",
       nullptr,
       {Fails("LoadLibraryA", "PSAPI.DLL", ERROR_MOD_NOT_FOUND)},
       "notepad.exe",
       kPsapiMissing},
      {"an entry point of PSAPI.DLL is missing",
       nullptr,
       {Fails("GetProcAddress", "GetModuleBaseNameA", ERROR_PROC_NOT_FOUND)},
       "notepad.exe",
       kPsapiEntryMissing},
      {"EnumProcesses fails", nullptr, {Fails("EnumProcesses")}, "notepad.exe", kEnumProcessesFailed},
      {"TerminateProcess fails", nullptr, {Fails("TerminateProcess")}, "notepad.exe", kTerminateFailed},
      {"9x: Kernel32.DLL does not load",
       "98",
       {Fails("LoadLibraryA", "Kernel32.DLL", ERROR_MOD_NOT_FOUND)},
       "notepad.exe",
       kKernel32Missing},
      {"9x: a Toolhelp entry point is missing",
       "98",
       {Fails("GetProcAddress", "Module32Next", ERROR_PROC_NOT_FOUND)},
       "notepad.exe",
       kToolhelpEntryMissing},
      {"9x: the process snapshot fails", "98", {Fails("CreateToolhelp32Snapshot")}, "notepad.exe", kSnapshotFailed},
      {"9x: a module snapshot fails",
       "Me",
       {[] {
         xp::machine::Fault fault = Fails("CreateToolhelp32Snapshot");
         fault.nth = 2;
         return fault;
       }()},
       "notepad.exe",
       kSnapshotFailed},
      {"an empty name", nullptr, {}, "", kBadName},
  };
  const uint32_t notepad = StartNotepad();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    DescribeAs(row.windows != nullptr ? row.windows : "XP");
    for (const xp::machine::Fault& fault : row.faults) xp::machine::ArmFault(fault);
    EXPECT_EQ(KillProcessByName(row.argument), row.code);
    xp::machine::ClearFaults();
    EXPECT_TRUE(Live(notepad));
  }
}

TEST_F(ProcKillTest, AProcessItMayNotEndGives604) {
  const uint32_t service = StartNotepad("SYSTEM");
  EXPECT_EQ(KillProcessByName("notepad.exe"), kOpenForEndingFailed);
  EXPECT_TRUE(Live(service));
  xp::machine::SetEnabledPrivileges(GetCurrentProcessId(), {"SeDebugPrivilege"});
  EXPECT_EQ(KillProcessByName("notepad.exe"), kKilled) << "a debugging administrator may";
  EXPECT_EQ(ExitCode(service), 0u);
}

TEST_F(ProcKillTest, AProcessWhoseNameCannotBeReadIsPassedOver) {
  // The idle process and System cannot be opened; their names are never "Unknown".
  EXPECT_EQ(KillProcessByName("unknown"), kNoMatch);
  EXPECT_EQ(KillProcessByName("UNKNOWN"), kNoMatch);
}

TEST_F(ProcKillTest, NamesOfUpTo260CharactersReachTheSearch) {
  EXPECT_EQ(KillProcessByName(std::string(258, 'n').c_str()), kNoMatch);
  EXPECT_EQ(KillProcessByName(std::string(260, 'n').c_str()), kNoMatch);
  EXPECT_EQ(KillProcessByName(std::string(261, 'n').c_str()), kBadName);
}

TEST_F(ProcKillTest, ProcessesBeyondThe250thAreLookedAtToo) {
  std::vector<pid_t> fillers;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  for (int i = 0; i < 250; ++i) {
    const pid_t child = ::fork();
    if (child == 0) {
      xp::machine::RegisterCurrentProcess();
      ::write(ready[1], "x", 1);
      ::pause();
      ::_exit(0);
    }
    fillers.push_back(child);
  }
  char byte = 0;
  for (size_t i = 0; i < fillers.size(); ++i) ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  const uint32_t notepad = StartNotepad();
  ASSERT_GT(xp::machine::ListProcesses(true).size(), 250u);
  EXPECT_EQ(KillProcessByName("notepad.exe"), kKilled);
  EXPECT_EQ(ExitCode(notepad), 0u);
  for (const pid_t child : fillers) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST_F(ProcKillTest, On9xOnlyTheProgramIsComparedInAnyLetterCase) {
  DescribeAs("98");
  const uint32_t notepad = StartNotepad();
  EXPECT_EQ(KillProcessByName("kernel32.dll"), kNoMatch) << "a library loaded in a process ends nothing";
  EXPECT_TRUE(Live(notepad));
  EXPECT_EQ(KillProcessByName("notepad.exe"), kKilled);
  EXPECT_EQ(ExitCode(notepad), 0u);
}

TEST_F(ProcKillTest, TheProgramsExitCodesReachTheProcessTableWhole) {
  const uint32_t notepad = StartNotepad();
  EXPECT_EQ(RunProcKill({}), 0xFFFFFFFFu);
  EXPECT_EQ(RunProcKill({std::string(261, 'x')}), kBadName);
  EXPECT_EQ(RunProcKill({"mrvkill2.exe"}), kNoMatch);
  EXPECT_TRUE(Live(notepad));
  EXPECT_EQ(RunProcKill({"Notepad.EXE"}), kKilled);
  EXPECT_EQ(ExitCode(notepad), 0u);
}

}  // namespace
