// FormatMessageA from the system's table, or a module's: XP's texts with their CR LF, in an allocated block or the
// caller's buffer, and what it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "windows.h"

namespace {

constexpr DWORD kFromSystem = FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

TEST(FormatMessage, GivesXpsTextsEndingInALineBreak) {
  const struct {
    DWORD code;
    const char* text;
  } rows[] = {
      {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
      {ERROR_INVALID_DATA, "The data is invalid.\r\n"},
      {ERROR_NO_MORE_ITEMS, "No more data is available.\r\n"},
      {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.\r\n"},
      {ERROR_GEN_FAILURE, "A device attached to the system is not functioning.\r\n"},
  };
  for (const auto& row : rows) {
    LPSTR text = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | kFromSystem, nullptr, row.code, kNeutral,
                                        reinterpret_cast<LPSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr) << row.code;
    EXPECT_STREQ(text, row.text);
    EXPECT_EQ(length, std::strlen(row.text));
    EXPECT_EQ(LocalFree(text), nullptr);
  }
  char buffer[20];
  EXPECT_EQ(FormatMessageA(kFromSystem, nullptr, ERROR_ACCESS_DENIED, 0, buffer, sizeof buffer, nullptr), 19u);
  EXPECT_STREQ(buffer, "Access is denied.\r\n");
}

TEST(FormatMessage, RefusesWhatItCannotGive) {
  char buffer[256];
  const struct {
    const char* what;
    DWORD flags;
    DWORD code;
    DWORD language;
    DWORD size;
    DWORD error;
  } rows[] = {
      {"a code without text", kFromSystem, 0xE000020B, kNeutral, sizeof buffer, ERROR_MR_MID_NOT_FOUND},
      {"a buffer too small", kFromSystem, ERROR_ACCESS_DENIED, kNeutral, 19, ERROR_INSUFFICIENT_BUFFER},
      {"inserts without arguments", kFromSystem, ERROR_BAD_EXE_FORMAT, kNeutral, sizeof buffer,
       ERROR_INVALID_PARAMETER},
      {"another language", kFromSystem, ERROR_ACCESS_DENIED, 0x407, sizeof buffer, ERROR_RESOURCE_LANG_NOT_FOUND},
  };
  for (const auto& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageA(row.flags, nullptr, row.code, row.language, buffer, row.size, nullptr), 0u) << row.what;
    EXPECT_EQ(GetLastError(), row.error) << row.what;
  }
  EXPECT_EQ(FormatMessageA(kFromSystem | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_BAD_EXE_FORMAT, 0, buffer,
                           sizeof buffer, nullptr),
            38u);
  EXPECT_STREQ(buffer, "%1 is not a valid Win32 application.\r\n");
}

TEST(FormatMessage, ReadsAModulesOwnTableAndFallsBackToTheSystemsWhenAskedTo) {
  const HMODULE probe = LoadLibraryA("xpk32probe.dll");
  ASSERT_NE(probe, nullptr);
  char buffer[64];
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, probe, 12345, 0, buffer, sizeof buffer, nullptr), 26u);
  EXPECT_STREQ(buffer, "The probe's own message.\r\n");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, probe, ERROR_ACCESS_DENIED, 0, buffer, sizeof buffer, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | kFromSystem, probe, ERROR_ACCESS_DENIED, 0, buffer,
                           sizeof buffer, nullptr),
            19u);
  EXPECT_EQ(FormatMessageA(kFromSystem, nullptr, 12345, 0, buffer, sizeof buffer, nullptr), 0u)
      << "the module's texts are its own";
  SetLastError(0xdeadbeef);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, reinterpret_cast<HMODULE>(0x1000), 12345, 0, buffer,
                           sizeof buffer, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(FreeLibrary(probe));
}

}  // namespace
