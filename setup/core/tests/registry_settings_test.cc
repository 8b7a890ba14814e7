// The registry settings of installing and removing: Userinit edited entry by entry (other programs' entries
// stay), the Winlogon and RunOnce values as stored, the terminated registry reads, and a service's removal from
// every control set.
#include <cstring>
#include <string>

#include "setupcore_fixture.h"

namespace tavik::setupcore::testing {
namespace {

constexpr char kWinlogon[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char kRunOnce[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kUserinit[] = "C:\\WINDOWS\\system32\\userinit.exe,";
const std::string kVerifier = InInstallFolder("MRVVerifyCFK.exe");

class RegistrySettingsTest : public SetupcoreTest {
 protected:
  void SetUserinit(const std::string& text) const {
    WriteValue(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", REG_SZ, text + '\0');
  }
  std::string Userinit() const {
    const std::optional<StoredValue> value = ReadValue(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit");
    return value ? std::string(value->bytes.c_str()) : "<none>";
  }
};

TEST_F(RegistrySettingsTest, UserinitGainsAndLosesOnlyTheKeyCheckProgram) {
  struct {
    std::string before;
    std::string inserted;
    std::string removed;
  } cases[] = {
      {kUserinit, kUserinit + kVerifier + ",", kUserinit},
      // Other programs' entries, listed before or after the install, stay where they are.
      {kUserinit + std::string("C:\\Agent\\agent.exe,"), kUserinit + kVerifier + ",C:\\Agent\\agent.exe,",
       kUserinit + std::string("C:\\Agent\\agent.exe,")},
      {"c:\\windows\\SYSTEM32\\USERINIT.EXE,x.exe", "c:\\windows\\SYSTEM32\\USERINIT.EXE," + kVerifier + ",x.exe",
       "c:\\windows\\SYSTEM32\\USERINIT.EXE,x.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    SetUserinit(c.before);
    EXPECT_EQ(checkUserInit(), 0);
    ASSERT_TRUE(insertWinLogOnRegData(kVerifier.c_str()));
    EXPECT_EQ(Userinit(), c.inserted);
    EXPECT_EQ(checkUserInit(), 0);
    // The final install phase may run again after a crash: the program is not listed twice.
    ASSERT_TRUE(insertWinLogOnRegData(kVerifier.c_str()));
    EXPECT_EQ(Userinit(), c.inserted);
    ASSERT_TRUE(removeWinLogOnRegData(kVerifier.c_str()));
    EXPECT_EQ(Userinit(), c.removed);
  }
}

// Winlogon reads Userinit into a buffer of 340 bytes: an insert whose text would reach 340 bytes is refused and
// leaves the value as it was. A longer value listed by other programs still checks.
TEST_F(RegistrySettingsTest, AnInsertThatWouldReach340BytesIsRefused) {
  const struct {
    size_t inserted_length;
    bool inserted;
  } cases[] = {{338, true}, {339, true}, {340, false}, {600, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.inserted_length);
    // The other program's entry fills the text to the length the insert would make.
    const size_t fill = c.inserted_length - std::string(kUserinit).size() - kVerifier.size() - 1 - 1;
    const std::string other = "C:\\" + std::string(fill - 7, 'a') + ".exe,";
    ASSERT_EQ(other.size(), fill + 1);
    const std::string before = kUserinit + other;
    SetUserinit(before);
    EXPECT_EQ(checkUserInit(), 0);
    EXPECT_EQ(insertWinLogOnRegData(kVerifier.c_str()), c.inserted);
    const std::string expected = c.inserted ? kUserinit + kVerifier + "," + other : before;
    EXPECT_EQ(Userinit(), expected);
    if (c.inserted) {
      EXPECT_EQ(expected.size(), c.inserted_length);
    }
  }
}

TEST_F(RegistrySettingsTest, AnyOtherUserinitIsLeftAlone) {
  EXPECT_EQ(checkUserInit(), 1);
  EXPECT_FALSE(insertWinLogOnRegData(kVerifier.c_str()));
  WriteValue(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", REG_SZ, std::string("Explorer.exe\0", 13));
  EXPECT_EQ(checkUserInit(), 2);
  SetUserinit("C:\\other.exe,C:\\WINDOWS\\system32\\userinit.exe,");
  EXPECT_EQ(checkUserInit(), 3);
  EXPECT_FALSE(insertWinLogOnRegData(kVerifier.c_str()));
  EXPECT_FALSE(removeWinLogOnRegData(kVerifier.c_str()));
  EXPECT_EQ(Userinit(), "C:\\other.exe,C:\\WINDOWS\\system32\\userinit.exe,");
}

TEST_F(RegistrySettingsTest, WinlogonAndRunOnceValuesAreTerminatedStrings) {
  // Both keys exist on every XP machine.
  WriteValue(HKEY_LOCAL_MACHINE, kRunOnce, "Other", REG_SZ, std::string("x\0", 2));
  SetUserinit(kUserinit);
  ASSERT_TRUE(setWinLogonKey("GinaDLL", "logongate.dll"));
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kWinlogon, "GinaDLL"), Sz("logongate.dll"));
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kWinlogon, "GinaDLL")->bytes.size(), 14u);
  EXPECT_TRUE(delWinlogOnValue("GinaDLL"));
  EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kWinlogon, "GinaDLL"));
  EXPECT_TRUE(delWinlogOnValue("GinaDLL"));  // already gone counts as done

  const std::string diskseal = InInstallFolder("diskseal.exe");
  ASSERT_TRUE(setRunOnceKey("RunSetup", diskseal.c_str()));
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kRunOnce, "RunSetup"), Sz(diskseal));
  EXPECT_TRUE(delRunOnceValue("RunSetup"));
  EXPECT_FALSE(delRunOnceValue("RunSetup"));
}

TEST_F(RegistrySettingsTest, RegistryTextsAreReadOnlyWhenTheyFitWithTheirNul) {
  const char* flag = "SOFTWARE\\Quillmarsh\\morvelFlag";
  struct {
    std::string stored;
    unsigned long size;
    int result;
    const char* text;
  } cases[] = {
      {std::string("0\0", 2), 4, 1, "0"},
      {std::string("123\0", 4), 4, 1, "123"},
      {"123", 4, 1, "123"},  // stored without its NUL: terminated on the way out
      {"1234", 4, 0, ""},    // fills the buffer exactly: no room for the NUL
      {std::string("1234\0", 5), 4, 0, ""},
      {"", 4, 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    WriteValue(HKEY_LOCAL_MACHINE, flag, "Decrypted", REG_SZ, c.stored);
    char out[8];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(getRegStrData(out, c.size, HKEY_LOCAL_MACHINE, flag, "Decrypted"), c.result);
    if (c.result == 1) {
      EXPECT_STREQ(out, c.text);
    }
    EXPECT_EQ(out[c.size], '#');  // nothing beyond the buffer
  }
  char out[4];
  EXPECT_EQ(getRegStrData(out, sizeof out, HKEY_LOCAL_MACHINE, flag, "Missing"), 0);
  EXPECT_EQ(getRegStrData(out, sizeof out, HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", "Decrypted"), 0);
}

TEST_F(RegistrySettingsTest, AServiceIsRemovedFromEveryControlSet) {
  for (const char* set : {"CurrentControlSet", "ControlSet001", "ControlSet002"}) {
    WriteValue(HKEY_LOCAL_MACHINE, std::string("SYSTEM\\") + set + "\\Services\\Morvel\\Instances\\Default", "Altitude",
               REG_SZ, std::string("1\0", 2));
    WriteValue(HKEY_LOCAL_MACHINE, std::string("SYSTEM\\") + set + "\\Services\\Other", "Start", REG_DWORD,
               std::string(4, '\0'));
  }
  int count = -1;
  ASSERT_TRUE(delKernelReg("Morvel", &count));
  EXPECT_EQ(count, 3);
  for (const char* set : {"CurrentControlSet", "ControlSet001", "ControlSet002"}) {
    EXPECT_EQ(regKeyExists((std::string("SYSTEM\\") + set + "\\Services\\Morvel").c_str(), HKEY_LOCAL_MACHINE), 1);
    EXPECT_EQ(regKeyExists((std::string("SYSTEM\\") + set + "\\Services\\Other").c_str(), HKEY_LOCAL_MACHINE), 0);
  }
  ASSERT_TRUE(delKernelReg("Morvel", &count));
  EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace tavik::setupcore::testing
