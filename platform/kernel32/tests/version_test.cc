// The version (XP's, or the older Windows a machine is described as), the Windows folders, the machine's date in its
// Win32 and C run-time forms, and debug strings.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

#include "crt_time.h"
#include "machine_programs.h"
#include "machine_setting.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/faults.h"

namespace {

// Rewrites a key of the machine description.
void SetDescription(const std::filesystem::path& machine, const std::string& key, const std::string& value) {
  std::ifstream in(machine / "machine.ini");
  std::stringstream text;
  text << in.rdbuf();
  std::ofstream(machine / "machine.ini") << std::regex_replace(text.str(), std::regex(key + " = [^\n]*"),
                                                               key + " = " + value);
}

TEST(Version, IsWindowsXpServicePack2InBothRecordSizes) {
  const xp::test::ScratchMachine machine;
  OSVERSIONINFOEXA version;
  std::memset(&version, 0xAB, sizeof version);
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&version)));
  EXPECT_EQ(version.dwOSVersionInfoSize, 148u);
  EXPECT_EQ(version.dwMajorVersion, 5u);
  EXPECT_EQ(version.dwMinorVersion, 1u);
  EXPECT_EQ(version.dwBuildNumber, 2600u);
  EXPECT_EQ(version.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_STREQ(version.szCSDVersion, "Service Pack 2");
  EXPECT_EQ(version.wServicePackMajor, 0xABABu) << "the basic record's size is all that is written";

  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&version)));
  EXPECT_EQ(version.wServicePackMajor, 2u);
  EXPECT_EQ(version.wServicePackMinor, 0u);
  EXPECT_EQ(version.wSuiteMask, VER_SUITE_SINGLEUSERTS);
  EXPECT_EQ(version.wProductType, VER_NT_WORKSTATION);

  SetDescription(machine.root(), "edition", "Home");
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&version)));
  EXPECT_EQ(version.wSuiteMask, VER_SUITE_SINGLEUSERTS | VER_SUITE_PERSONAL);

  // The wide records say the same, Home edition included.
  OSVERSIONINFOEXW wide{};
  wide.dwOSVersionInfoSize = sizeof wide;
  ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&wide)));
  EXPECT_EQ(wide.dwOSVersionInfoSize, 284u);
  EXPECT_EQ(wide.dwMajorVersion * 10 + wide.dwMinorVersion, 51u);
  EXPECT_EQ(std::u16string(wide.szCSDVersion), u"Service Pack 2");
  EXPECT_EQ(wide.wSuiteMask, VER_SUITE_SINGLEUSERTS | VER_SUITE_PERSONAL);
  wide.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  EXPECT_FALSE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&wide)));
}

TEST(Version, RefusesOtherRecordSizesAndCanBeMadeToFail) {
  const xp::test::ScratchMachine machine;
  for (const DWORD size : {0u, 147u, 149u, 155u, 157u, 276u}) {
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = size;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&version))) << size;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << size;
  }
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "GetVersionExA", 1, 1, ERROR_ACCESS_DENIED, ""});
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  EXPECT_FALSE(GetVersionExA(&version));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(GetVersionExA(&version));
}

TEST(Version, IsTheOlderWindowsTheDescriptionNames) {
  const xp::test::ScratchMachine machine;
  const struct {
    const char* windows;
    DWORD major, minor, build, platform;
  } rows[] = {
      {"98", 4, 10, 0x040A07CE, VER_PLATFORM_WIN32_WINDOWS},
      {"Me", 4, 90, 0x045A0BB8, VER_PLATFORM_WIN32_WINDOWS},
      {"Win32s", 3, 10, 0, VER_PLATFORM_WIN32s},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.windows);
    xp::test::SetMachineSetting(machine.root(), "windows", row.windows);
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&version)));
    EXPECT_EQ(version.dwMajorVersion, row.major);
    EXPECT_EQ(version.dwMinorVersion, row.minor);
    EXPECT_EQ(version.dwBuildNumber, row.build);
    EXPECT_EQ(version.dwPlatformId, row.platform);
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&version))) << "the extended record is NT's";
  }
}

TEST(Folders, AreCopiedWhenTheyFitElseTheSizeNeededIsGiven) {
  const struct {
    UINT (*call)(LPSTR, UINT);
    const char* folder;
  } rows[] = {{GetWindowsDirectoryA, "C:\\WINDOWS"}, {GetSystemDirectoryA, "C:\\WINDOWS\\system32"}};
  for (const auto& row : rows) {
    const UINT length = static_cast<UINT>(std::strlen(row.folder));
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(row.call(buffer, length), length + 1) << row.folder;
    EXPECT_EQ(buffer[0], 'x') << "untouched when too small";
    EXPECT_EQ(row.call(buffer, length + 1), length);
    EXPECT_STREQ(buffer, row.folder);
    EXPECT_EQ(row.call(buffer, MAX_PATH), length);
  }
}

// 2005-01-01 00:00:00 UTC, a Saturday: 1104537600 s after 1970, 127490112000000000 100-ns intervals after 1601.
TEST(MachineDate, FollowsTheVirtualClockFromTheCreationTime) {
  const xp::test::ScratchMachine machine;
  SetDescription(machine.root(), "created", "1104537600000");
  FILETIME file_time{};
  GetSystemTimeAsFileTime(&file_time);
  EXPECT_EQ((uint64_t{file_time.dwHighDateTime} << 32) | file_time.dwLowDateTime, 127490112000000000ull);
  Sleep(3723250);  // 1 h 2 min 3.25 s
  SYSTEMTIME system{};
  SYSTEMTIME local{};
  GetSystemTime(&system);
  GetLocalTime(&local);
  const WORD expected[] = {2005, 1, 6, 1, 1, 2, 3, 250};
  EXPECT_EQ(std::memcmp(&system, expected, sizeof expected), 0);
  EXPECT_EQ(std::memcmp(&local, expected, sizeof expected), 0) << "the machine's zone is UTC";
  std::time_t stored = 0;
  EXPECT_EQ(msvcrt::time(&stored), 1104541323);
  EXPECT_EQ(stored, 1104541323);
  const std::tm* parts = msvcrt::localtime(&stored);
  ASSERT_NE(parts, nullptr);
  EXPECT_EQ(parts->tm_year, 105);
  EXPECT_EQ(parts->tm_hour, 1);
  EXPECT_EQ(parts->tm_min, 2);
  EXPECT_EQ(parts->tm_sec, 3);
  const std::time_t before_1970 = -1;
  EXPECT_EQ(msvcrt::localtime(&before_1970), nullptr);
}

TEST(DebugOutput, GoesToTheJournal) {
  const xp::test::ScratchMachine machine;
  OutputDebugStringA("OpenProcessToken");
  OutputDebugStringA(nullptr);
  EXPECT_EQ(xp::kernel32::testing::JournalEvents(machine.root()), std::vector<std::string>{"debug OpenProcessToken"});
}

}  // namespace
