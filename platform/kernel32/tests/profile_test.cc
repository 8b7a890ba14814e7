// win.ini: its own sections come from C:\WINDOWS\win.ini on the machine's disk, "Winlogon" from the registry key
// the setup programs write, as on XP; missing values give the default, and a small buffer cuts the text.
#include <gtest/gtest.h>

#include <string>

#include "scratch_machine.h"
#include "windows.h"

namespace {

void PutWinIni(const std::string& text) {
  const HANDLE file = CreateFileA("C:\\WINDOWS\\win.ini", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::u16string Profile(const char16_t* section, const char16_t* key, const char16_t* fallback, DWORD size = 260) {
  WCHAR buffer[260] = {};
  const DWORD copied = GetProfileStringW(section, key, fallback, buffer, size);
  EXPECT_EQ(copied, static_cast<DWORD>(std::u16string(buffer).size()));
  return buffer;
}

TEST(Profile, ReadsTheFilesSectionsAndTheRegistrysWinlogon) {
  const xp::test::ScratchMachine machine;
  PutWinIni("; a comment\r\n[windows]\r\nload=\r\n"
            "[Logongate]\r\n DebugFlags = Error, Trace \r\nLogFile=C:\\lg.log\r\n");
  EXPECT_EQ(Profile(u"logongate", u"debugflags", u"Error,Warning"), u"Error, Trace");
  EXPECT_EQ(Profile(u"logongate", u"LogFile", u""), u"C:\\lg.log");
  EXPECT_EQ(Profile(u"logongate", u"Missing", u"fallback"), u"fallback");
  EXPECT_EQ(Profile(u"windows", u"DebugFlags", u"none"), u"none") << "another section's key";
  EXPECT_EQ(Profile(u"logongate", u"LogFile", u"", 5), u"C:\\l");

  // "Winlogon" is the registry's, whatever win.ini says.
  PutWinIni("[Winlogon]\r\nUserinit=from-the-file.exe\r\nPowerDownAfterShutdown=1\r\n");
  EXPECT_EQ(Profile(u"Winlogon", u"Userinit", u"Userinit.exe"), u"C:\\WINDOWS\\system32\\userinit.exe,");
  EXPECT_EQ(GetProfileIntW(u"Winlogon", u"PowerDownAfterShutdown", 7), 0u) << "the fresh registry's 0";
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", 0,
                          KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  RegSetValueExA(key, "PowerDownAfterShutdown", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
  RegDeleteValueA(key, "Userinit");
  RegCloseKey(key);
  EXPECT_EQ(GetProfileIntW(u"winlogon", u"PowerDownAfterShutdown", 0), 1u);
  EXPECT_EQ(Profile(u"Winlogon", u"Userinit", u"Userinit.exe"), u"Userinit.exe");
  char ansi[16];
  EXPECT_EQ(GetProfileStringA("Winlogon", "Userinit", "Userinit.exe", ansi, sizeof ansi), 12u);
  EXPECT_STREQ(ansi, "Userinit.exe");
}

TEST(TextConversion, GoesThroughCodePage1252AndComparesIgnoringCase) {
  const char ansi[] = "Gr\xFC\xDF" "e";
  WCHAR wide[16] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0), 6);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 16), 6);
  EXPECT_EQ(std::u16string(wide), u"Gr\u00FC\u00DFe");
  char back[16] = {};
  BOOL used_default = TRUE;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, back, sizeof back, nullptr, &used_default), 6);
  EXPECT_STREQ(back, ansi);
  EXPECT_FALSE(used_default);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u4E2D", 1, back, sizeof back, nullptr, &used_default), 1);
  EXPECT_EQ(back[0], '?');
  EXPECT_TRUE(used_default);
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, back, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  EXPECT_EQ(lstrcmpiW(u"Alice@WORKPC", u"alice@workpc"), 0);
  EXPECT_EQ(lstrcmpiW(u"\u00C4rger", u"\u00E4RGER"), 0);
  EXPECT_LT(lstrcmpiW(u"alice", u"alicex"), 0);
  EXPECT_GT(lstrcmpiW(u"bob", u"ALICE"), 0);
  EXPECT_EQ(lstrlenW(u"Tavik"), 5);
}

}  // namespace
