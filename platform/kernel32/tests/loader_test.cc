// LoadLibraryA, GetProcAddress, FreeLibrary and GetModuleHandleA, and the DLL entry calls: process attach and detach
// with the load, thread attach and detach around threads that CreateThread starts, and a refused attach failing the
// load.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "built_programs.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/faults.h"

namespace {

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/xp-loader-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    log_ = folder_ / "entry.log";
    ::setenv("XPK32_PROBE_LOG", log_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("XPK32_PROBE_LOG");
    std::filesystem::remove_all(folder_);
  }

  std::vector<std::string> Log() const {
    std::ifstream in(log_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::filesystem::path folder_;
  std::filesystem::path log_;
};

DWORD WINAPI DoNothing(LPVOID) { return 0; }

// FARPROC to the entry's real type, through the generic function pointer type that casts warn-free.
template <typename Function>
Function As(FARPROC proc) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

TEST_F(LoaderTest, EveryFormOfTheDllNameLoadsTheSameLibrary) {
  const char* const names[] = {"xpk32probe.dll", "XPK32PROBE.DLL", "C:\\WINDOWS\\system32\\XpK32Probe.Dll",
                               "xpk32probe"};
  std::vector<HMODULE> modules;
  for (const char* name : names) {
    SetLastError(0xdeadbeef);
    modules.push_back(LoadLibraryA(name));
    ASSERT_NE(modules.back(), nullptr) << name << " error " << GetLastError();
    EXPECT_EQ(modules.back(), modules.front()) << name;
  }
  const auto answer = As<int (*)()>(GetProcAddress(modules[0], "ProbeAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  const auto entry_module = As<HINSTANCE (*)()>(GetProcAddress(modules[0], "ProbeModule"));
  ASSERT_NE(entry_module, nullptr);
  EXPECT_EQ(entry_module(), modules[0]) << "DllMain gets the handle LoadLibraryA returns";
  for (const HMODULE module : modules) EXPECT_TRUE(FreeLibrary(module));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FreeLibrary(modules[0])) << "freed as often as loaded";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(LoaderTest, EntryHearsProcessAndThreadAttachAndDetachInOrder) {
  const HMODULE module = LoadLibraryA("xpk32probe.dll");
  ASSERT_NE(module, nullptr);
  DWORD id = 0;
  const HANDLE thread = CreateThread(nullptr, 0, DoNothing, nullptr, 0, &id);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  CloseHandle(thread);
  ASSERT_TRUE(FreeLibrary(module));
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 4u) << ::testing::PrintToString(log);
  EXPECT_EQ(log[0].rfind("probe process_attach ", 0), 0u);
  EXPECT_EQ(log[1], "probe thread_attach " + std::to_string(id));
  EXPECT_EQ(log[2], "probe thread_detach " + std::to_string(id));
  EXPECT_EQ(log[3].rfind("probe process_detach ", 0), 0u);
}

TEST_F(LoaderTest, ADllLinkedAtLoadTimeHearsProcessAttachAndDetach) {
  const std::string program =
      xp::test::BuildProgram("xp_kernel32_linked_probe");
  ASSERT_EQ(std::system(program.c_str()), 0);
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 2u) << ::testing::PrintToString(log);
  EXPECT_EQ(log[0].rfind("probe process_attach ", 0), 0u);
  EXPECT_EQ(log[1].rfind("probe process_detach ", 0), 0u);
}

TEST_F(LoaderTest, AnEntryRefusingAttachFailsTheLoadAndHearsDetach) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LoadLibraryA("xpk32failing.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
  const HANDLE thread = CreateThread(nullptr, 0, DoNothing, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_EQ(Log(), (std::vector<std::string>{"failing process_attach", "failing process_detach"}))
      << "an unloaded library hears no thread calls";
}

TEST_F(LoaderTest, MissingLibraryAndMissingEntryPointAreToldApart) {
  static HMODULE probe = nullptr;
  probe = LoadLibraryA("xpk32probe.dll");
  ASSERT_NE(probe, nullptr);
  const struct {
    const char* what;
    bool (*call)();  // true when the call succeeded
    DWORD error;
  } rows[] = {
      {"missing library", [] { return LoadLibraryA("xpk32absent.dll") != nullptr; }, ERROR_MOD_NOT_FOUND},
      {"unresolved import", [] { return LoadLibraryA("xpk32unresolved.dll") != nullptr; }, ERROR_PROC_NOT_FOUND},
      {"missing export", [] { return GetProcAddress(probe, "NoSuchExport") != nullptr; }, ERROR_PROC_NOT_FOUND},
      {"hidden function", [] { return GetProcAddress(probe, "ProbeMain") != nullptr; }, ERROR_PROC_NOT_FOUND},
      {"unknown module", [] { return GetProcAddress(reinterpret_cast<HMODULE>(0x1000), "ProbeAnswer") != nullptr; },
       ERROR_MOD_NOT_FOUND},
      {"free unknown module", [] { return FreeLibrary(reinterpret_cast<HMODULE>(0x1000)) != FALSE; },
       ERROR_MOD_NOT_FOUND},
      {"not a DLL", [] { return LoadLibraryA("xpk32probe.exe") != nullptr; }, ERROR_CALL_NOT_IMPLEMENTED},
  };
  for (const auto& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(row.call()) << row.what;
    EXPECT_EQ(GetLastError(), row.error) << row.what;
  }
  EXPECT_TRUE(FreeLibrary(probe));
}

// Installing copies a DLL onto the machine's drives under its Windows name: that copy is what loads, by its full
// path or, for a bare name, from system32.
TEST_F(LoaderTest, ADllOnTheMachinesDrivesLoadsFromThere) {
  xp::test::ScratchMachine machine;
  const std::filesystem::path probe = xp::test::BuildProgram("xpk32probe");
  const std::filesystem::path vendor = machine.root() / "drives/C/Program Files/Vendor";
  std::filesystem::create_directories(vendor);
  std::filesystem::copy_file(probe, vendor / "OnlyHere.dll");
  std::filesystem::copy_file(probe, machine.root() / "drives/C/WINDOWS/system32/sys32only.dll");

  const struct {
    const char* name;
    DWORD error;  // 0: loads
  } cases[] = {
      {"C:\\Program Files\\Vendor\\onlyhere.dll", 0},
      {"sys32only.dll", 0},
      {"SYS32ONLY", 0},
      {"onlyhere.dll", ERROR_MOD_NOT_FOUND},  // not in the program's folder, system32 or the Windows folder
      {"C:\\Program Files\\Vendor\\missing.dll", ERROR_MOD_NOT_FOUND},
  };
  for (const auto& c : cases) {
    SetLastError(0xdeadbeef);
    const HMODULE module = LoadLibraryA(c.name);
    if (c.error != 0) {
      EXPECT_EQ(module, nullptr) << c.name;
      EXPECT_EQ(GetLastError(), c.error) << c.name;
      continue;
    }
    ASSERT_NE(module, nullptr) << c.name << " error " << GetLastError();
    const auto answer = As<int (*)()>(GetProcAddress(module, "ProbeAnswer"));
    ASSERT_NE(answer, nullptr) << c.name;
    EXPECT_EQ(answer(), 42) << c.name;
    EXPECT_TRUE(FreeLibrary(module));
  }
}

// GetModuleHandleA finds a library the process has loaded, by its Windows name, without adding a reference; and
// the loader's fault points fail a named DLL or a named entry point only.
TEST_F(LoaderTest, ModuleHandlesOfLoadedLibrariesAndTheLoadersFaultPoints) {
  const xp::test::ScratchMachine machine;
  const HMODULE kernel32 = GetModuleHandleA("KERNEL32.dll");
  ASSERT_NE(kernel32, nullptr) << "linked by this program";
  EXPECT_EQ(As<decltype(&GetLastError)>(GetProcAddress(kernel32, "GetLastError")), &GetLastError);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetModuleHandleA("xpk32probe.dll"), nullptr) << "not loaded yet";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  const HMODULE probe = LoadLibraryA("xpk32probe.dll");
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(GetModuleHandleA("XPK32PROBE"), probe);
  EXPECT_TRUE(FreeLibrary(probe));
  EXPECT_EQ(GetModuleHandleA("xpk32probe.dll"), nullptr) << "the handle added no reference";

  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "LoadLibraryA", 1, 0, ERROR_ACCESS_DENIED, "probe"});
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "GetProcAddress", 1, 0, ERROR_INVALID_HANDLE, "Tick"});
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LoadLibraryA("xpk32probe.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  const HMODULE loaded = LoadLibraryA("Kernel32.DLL");
  ASSERT_NE(loaded, nullptr) << "another DLL loads";
  EXPECT_EQ(GetProcAddress(loaded, "GetTickCount"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_NE(GetProcAddress(loaded, "GetLastError"), nullptr) << "another entry point is found";
  EXPECT_TRUE(FreeLibrary(loaded));
  xp::machine::ClearFaults();
}

}  // namespace
