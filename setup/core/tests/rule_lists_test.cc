// The folder lists and their registry copies: MRVNEFLI from the machine's drives and the user's list, and the
// rule values byte for byte as the registry stores them, read back by the protection decision the driver uses.
#include <deque>
#include <string>
#include <vector>

#include "protection_policy.h"
#include "setupcore_fixture.h"

namespace tavik::setupcore::testing {
namespace {

xp::machine::MachineOptions FourDrives() {
  xp::machine::MachineOptions options;
  options.drives = {{'C', "fixed", "NTFS", 0x11111111, 20ull << 30},
                    {'D', "fixed", "NTFS", 0x22222222, 20ull << 30},
                    {'E', "cdrom", "CDFS", 0x33333333, 0},
                    {'F', "fixed", "FAT32", 0x44444444, 20ull << 30}};
  return options;
}

class RuleListsTest : public SetupcoreTest {
 protected:
  RuleListsTest() : SetupcoreTest(FourDrives()) {}
};

TEST_F(RuleListsTest, NonEncryptionListNamesWindowsEachFixedDrivesSystemFoldersAndTheUsersFolders) {
  Put(InInstallFolder("_MRVMYNEFL"), "C:\\Program Files\\Quillmarsh\\Tavik\\XP\r\n\r\nD:\\Archive  \r\n");
  ASSERT_TRUE(generateNEFL());
  std::string expected = "C:\\WINDOWS\r\n";
  for (const char* drive : {"C:\\", "D:\\", "F:\\"}) {
    for (const char* folder : {"System Volume Information", "Recycler", "Recycled"}) {
      expected += std::string(drive) + folder + "\r\n";
    }
  }
  expected += "C:\\Program Files\\Quillmarsh\\Tavik\\XP\r\nD:\\Archive\r\n";
  EXPECT_EQ(Get(InInstallFolder("MRVNEFLI")), expected);
}

TEST_F(RuleListsTest, ABadUserFolderLineIsShownAndFails) {
  struct {
    std::string line;
    const char* message;
  } cases[] = {
      {"C:", "Invalid folder name:\tlength less than 4!"},
      {"C:/Data", "Invalid folder name: invalid characters found."},
      {"C:\\" + std::string(300, 'd'), "Invalid folder name: too long string."},
      {std::string("\0C:\\Data", 8), "Invalid folder name: empty string read."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Put(InInstallFolder("_MRVMYNEFL"), "C:\\Good\n" + c.line + "\nC:\\After\n");
    ExpectBoxes({{kCaption, c.message}});
    EXPECT_FALSE(generateNEFL());
    EXPECT_EQ(BoxesLeft(), 0u);
  }
}

TEST_F(RuleListsTest, ExclusionsKeepTheSystemVolumeDrivelessAndOtherDrivesByLetter) {
  for (int i = 1; i <= 5; ++i) {
    WriteValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik\\exclusion\\stale", "x", REG_SZ, std::string("y\0", 2));
    WriteValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik\\exclusion", std::to_string(i), REG_SZ, "old");
  }
  Put(InInstallFolder("MRVNEFLI"),
      "C:\\WINDOWS\r\nD:\\Recycler\r\nC:\\System Volume Information\r\n"
      "d:\\system volume information\r\n");
  ASSERT_TRUE(addNEFL2Registry());
  EXPECT_EQ(RuleValues("exclusion"), (std::vector<StoredValue>{Sz("\\WINDOWS"), Sz("D:\\Recycler")}));
  EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik\\exclusion\\stale", "x"));

  // The driver reads UTF-16: the text and its NUL, two bytes each.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Quillmarsh\\Tavik\\Exclusion", 0, KEY_QUERY_VALUE, &key),
            ERROR_SUCCESS);
  char16_t data[32];
  DWORD size = sizeof data;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueExW(key, u"1", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 2u * (8 + 1));
  EXPECT_EQ(std::u16string(data, size / 2), std::u16string(u"\\WINDOWS\0", 9));
}

// A line on a drive the machine does not have (a user's own list, or a drive gone since the list was made) names
// nothing to protect or leave plain: it is skipped, and the lines after it are copied.
TEST_F(RuleListsTest, LinesOnADriveThatIsNotThereAreSkipped) {
  const struct {
    const char* list;
    const char* text;
    bool (*copy)();
    const char* subkey;
    std::vector<StoredValue> values;
  } cases[] = {
      {"MRVNEFLI", "C:\\WINDOWS\r\nG:\\Recycler\r\nD:\\Recycler\r\n", addNEFL2Registry, "exclusion",
       {Sz("\\WINDOWS"), Sz("D:\\Recycler")}},
      {"MRVEFLST", "C:\\WINDOWS\\Temp\nz:\\Data\nF:\\Listed\n", addEFL2Registry, "inclusion",
       {Sz("\\WINDOWS\\Temp"), Sz("F:\\Listed")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.list);
    Put(InInstallFolder(c.list), c.text);
    ExpectBoxes({});
    EXPECT_TRUE(c.copy());
    EXPECT_EQ(RuleValues(c.subkey), c.values);
  }
}

TEST_F(RuleListsTest, AFolderThatDoesNotExistIsProbedAndLeftAsItWas) {
  Put(InInstallFolder("MRVEFLST"), "C:\\WINDOWS\\Temp\nC:\\New\\Deep\\Folder\n");
  ASSERT_TRUE(addEFL2Registry());
  EXPECT_EQ(RuleValues("inclusion"), (std::vector<StoredValue>{Sz("\\WINDOWS\\Temp"), Sz("\\New\\Deep\\Folder")}));
  EXPECT_FALSE(Exists("C:\\New"));
}

TEST_F(RuleListsTest, ExceptionsNameOnlyFilesThatExist) {
  ASSERT_TRUE(addBadFiles2Registry());  // no MRVBADFILES: an empty key
  EXPECT_EQ(regKeyExists("SOFTWARE\\Quillmarsh\\Tavik\\Exception", HKEY_LOCAL_MACHINE), 0);
  EXPECT_TRUE(RuleValues("Exception").empty());

  Put("C:\\Docs\\failed.doc", "plain");
  Put("D:\\Data\\failed.xls", "plain");
  Put(InInstallFolder("MRVBADFILES"), "C:\\Docs\\failed.doc\nC:\\Docs\\gone.doc\nD:\\Data\\failed.xls\n");
  ASSERT_TRUE(addBadFiles2Registry());
  EXPECT_EQ(RuleValues("Exception"), (std::vector<StoredValue>{Sz("\\Docs\\failed.doc"), Sz("D:\\Data\\failed.xls")}));
}

TEST_F(RuleListsTest, MissingListsAreShown) {
  ExpectErrorBoxes({"Failed to Open Non-Encryption Folder File", "Failed to Open Encryption Folder File"});
  EXPECT_FALSE(addNEFL2Registry());
  EXPECT_FALSE(addEFL2Registry());
  EXPECT_EQ(BoxesLeft(), 0u);
  EXPECT_EQ(regKeyExists("SOFTWARE\\Quillmarsh\\Tavik\\exclusion", HKEY_LOCAL_MACHINE), 0);
  EXPECT_EQ(regKeyExists("SOFTWARE\\Quillmarsh\\Tavik\\Missing", HKEY_LOCAL_MACHINE), 1);
}

// The writers and the driver's decision agree: what the install left plain on D: is not decrypted by the driver.
TEST_F(RuleListsTest, TheDriversDecisionOverTheWrittenRulesMatchesWhatTheInstallLeftPlain) {
  Put(InInstallFolder("MRVNEFLI"), "C:\\WINDOWS\nD:\\Recycler\nD:\\Excluded\n");
  Put(InInstallFolder("MRVEFLST"), "C:\\WINDOWS\\Temp\n");
  Put("D:\\Data\\failed.doc", "plain");
  Put(InInstallFolder("MRVBADFILES"), "D:\\Data\\failed.doc\n");
  ASSERT_TRUE(addNEFL2Registry());
  ASSERT_TRUE(addEFL2Registry());
  ASSERT_TRUE(addBadFiles2Registry());

  // The rules as a reader of the three keys holds them.
  std::deque<std::string> texts;
  std::vector<policy::Rule<char>> directories;
  std::vector<policy::Rule<char>> exceptions;
  const struct {
    const char* subkey;
    policy::RuleKind kind;
    std::vector<policy::Rule<char>>* rules;
  } keys[] = {{"exclusion", policy::RuleKind::kExclusion, &directories},
              {"inclusion", policy::RuleKind::kInclusion, &directories},
              {"Exception", policy::RuleKind::kExclusion, &exceptions}};
  for (const auto& key : keys) {
    for (const StoredValue& value : RuleValues(key.subkey)) {
      const std::string& text = texts.emplace_back(value.bytes.c_str());
      policy::Rule<char> rule;
      ASSERT_TRUE(policy::ParseRuleText(text.data(), text.size(), &rule)) << text;
      rule.kind = key.kind;
      key.rules->push_back(rule);
    }
  }
  const policy::RuleSet<char> rules{directories.data(), directories.size(), exceptions.data(), exceptions.size(), 'C'};
  struct {
    char drive;
    const char* name;
    bool is_protected;
  } cases[] = {{'D', "\\Recycler\\Dc1.doc", false}, {'D', "\\Excluded\\a.txt", false},
               {'D', "\\Data\\failed.doc", false},  {'D', "\\Data\\other.doc", true},
               {'C', "\\WINDOWS\\a.dll", false},    {'C', "\\WINDOWS\\Temp\\a.tmp", true},
               {'C', "\\Recycler\\x.doc", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(1, c.drive) + ":" + c.name);
    EXPECT_EQ(policy::IsProtectedFile(rules, c.drive, c.name, std::string_view(c.name).size()), c.is_protected);
  }
}

}  // namespace
}  // namespace tavik::setupcore::testing
