// The process status calls: ids of the machine's live processes only, each process's program as its first module,
// and the walk a process killer makes (find by upper-cased name, open for ending, terminate).
#include "psapi.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "built_programs.h"
#include "scratch_machine.h"
#include "windows.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr char kNotepad[] = "C:\\WINDOWS\\NOTEPAD.EXE";

class PsapiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path program = machine_.root() / "drives/C/WINDOWS/NOTEPAD.EXE";
    fs::copy_file(xp::test::BuildProgram("xp_kernel32_child"), program);
    fs::permissions(program, fs::perms::owner_all, fs::perm_options::add);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = "notepad.exe wait-for " + (machine_.root() / "go").string();
    ASSERT_TRUE(CreateProcessA(kNotepad, line.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                               nullptr, &startup, &notepad_));
  }
  void TearDown() override {
    std::ofstream(machine_.root() / "go");
    WaitForSingleObject(notepad_.hProcess, INFINITE);
    CloseHandle(notepad_.hThread);
    CloseHandle(notepad_.hProcess);
  }

  std::vector<DWORD> Ids(DWORD array_bytes) {
    std::vector<DWORD> ids(array_bytes / sizeof(DWORD) + 1, 0xdeadbeef);
    DWORD returned = 0;
    EXPECT_TRUE(EnumProcesses(ids.data(), array_bytes, &returned));
    EXPECT_EQ(ids[array_bytes / sizeof(DWORD)], 0xdeadbeefu) << "written past the array";
    ids.resize(returned / sizeof(DWORD));
    return ids;
  }

  const xp::test::ScratchMachine machine_;
  PROCESS_INFORMATION notepad_{};
};

TEST_F(PsapiTest, ListsOnlyTheMachinesLiveProcessesAndTellsWhenTheArrayWasFull) {
  pid_t host_process = 0;
  char sleep_program[] = "sleep";
  char seconds[] = "30";
  char* argv[] = {sleep_program, seconds, nullptr};
  ASSERT_EQ(::posix_spawnp(&host_process, "sleep", nullptr, nullptr, argv, environ), 0);
  const std::vector<DWORD> all = {0, 4, GetCurrentProcessId(), notepad_.dwProcessId};
  EXPECT_EQ(Ids(1000), all);
  EXPECT_EQ(Ids(8), (std::vector<DWORD>{0, 4})) << "a full array: the caller must try a larger one";
  EXPECT_EQ(Ids(15), (std::vector<DWORD>{0, 4, GetCurrentProcessId()}));
  ::kill(host_process, SIGKILL);
  ::waitpid(host_process, nullptr, 0);
}

TEST_F(PsapiTest, TheFirstModuleIsTheProgramAndItsBaseNameIsTheFileName) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, notepad_.dwProcessId);
  ASSERT_NE(process, nullptr);
  HMODULE module = nullptr;
  DWORD needed = 0;
  ASSERT_TRUE(EnumProcessModules(process, &module, sizeof module, &needed));
  EXPECT_EQ(needed, sizeof(HMODULE));
  char name[MAX_PATH] = {};
  EXPECT_EQ(GetModuleBaseNameA(process, module, name, sizeof name), 11u);
  EXPECT_STREQ(name, "NOTEPAD.EXE");
  EXPECT_EQ(GetModuleBaseNameA(process, nullptr, name, 4), 3u) << "cut to size - 1";
  EXPECT_STREQ(name, "NOT");
  CloseHandle(process);
}

TEST_F(PsapiTest, NeedsReadRightsAndALiveProcess) {
  const HANDLE query_only = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, notepad_.dwProcessId);
  HMODULE module = nullptr;
  DWORD needed = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumProcessModules(query_only, &module, sizeof module, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(query_only);

  const HANDLE reader = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, notepad_.dwProcessId);
  std::ofstream(machine_.root() / "go");
  WaitForSingleObject(notepad_.hProcess, INFINITE);
  char name[MAX_PATH];
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetModuleBaseNameA(reader, nullptr, name, sizeof name), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PARTIAL_COPY));
  CloseHandle(reader);
}

// The walk of a process killer: upper-cased names compared, the system entries skipped as unreadable.
TEST_F(PsapiTest, AProcessFoundByItsNameCanBeEnded) {
  const HMODULE psapi = LoadLibraryA("PSAPI.DLL");
  ASSERT_NE(psapi, nullptr) << GetLastError();
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(psapi, "EnumProcesses")), reinterpret_cast<void*>(&EnumProcesses));
  DWORD found = 0;
  for (const DWORD pid : Ids(1000)) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr) continue;
    char name[MAX_PATH] = "";
    GetModuleBaseNameA(process, nullptr, name, sizeof name);
    CloseHandle(process);
    std::transform(name, name + std::strlen(name), name, [](unsigned char c) { return std::toupper(c); });
    if (std::strcmp(name, "NOTEPAD.EXE") == 0) found = pid;
  }
  ASSERT_EQ(found, notepad_.dwProcessId);
  const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, found);
  EXPECT_TRUE(TerminateProcess(process, 0));
  CloseHandle(process);
  EXPECT_EQ(WaitForSingleObject(notepad_.hProcess, INFINITE), WAIT_OBJECT_0);
  DWORD code = 1;
  EXPECT_TRUE(GetExitCodeProcess(notepad_.hProcess, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(FreeLibrary(psapi));
}

}  // namespace
