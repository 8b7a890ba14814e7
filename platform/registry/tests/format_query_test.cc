// `xpmachine reg query`: the exact text a person sees for a key, a value and the errors.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "scratch_machine.h"
#include "winreg.h"
#include "xp/registry.h"

namespace xp::registry {
namespace {

std::vector<uint8_t> Wide(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

class FormatQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KeyId key = 0;
    ASSERT_EQ(CreateKey(kMachineKey, u"SOFTWARE\\Quillmarsh\\morvelFlag", &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(SetValue(key, u"Decrypted", REG_SZ, Wide(std::u16string(u"1") + u'\0')), ERROR_SUCCESS);
    ASSERT_EQ(SetValue(key, u"RunSetup", REG_SZ, Wide(u"C:\\x.exe")), ERROR_SUCCESS);
    ASSERT_EQ(SetValue(key, u"nostart", REG_DWORD, {0x1F, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(SetValue(key, u"blob", REG_BINARY, {0x0A, 0xBC, 0x00}), ERROR_SUCCESS);
    ASSERT_EQ(SetValue(key, u"list", REG_MULTI_SZ, Wide(std::u16string(u"a\0b\u00e9\0\0", 6))), ERROR_SUCCESS);
    ASSERT_EQ(SetValue(key, u"", REG_SZ, Wide(std::u16string(u"def") + u'\0')), ERROR_SUCCESS);
    KeyId sub = 0;
    ASSERT_EQ(CreateKey(key, u"zeta", &sub, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(CreateKey(key, u"Alpha", &sub, nullptr), ERROR_SUCCESS);
  }

  test::ScratchMachine machine_{test::ScratchOptions{.plug_token = false, .fresh_registry = false}};
};

TEST_F(FormatQueryTest, KeyListsValuesThenSubkeys) {
  int exit_code = -1;
  EXPECT_EQ(FormatQuery("HKLM\\SOFTWARE\\Quillmarsh\\morvelflag", std::nullopt, &exit_code),
            "\n"
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmarsh\\morvelflag\n"
            "    Decrypted    REG_SZ    1\n"
            "    RunSetup    REG_SZ    C:\\x.exe\n"
            "    nostart    REG_DWORD    0x1f\n"
            "    blob    REG_BINARY    0ABC00\n"
            "    list    REG_MULTI_SZ    a\\0b\xC3\xA9\n"
            "    (Default)    REG_SZ    def\n"
            "\n"
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmarsh\\morvelflag\\Alpha\n"
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmarsh\\morvelflag\\zeta\n");
  EXPECT_EQ(exit_code, 0);
}

TEST_F(FormatQueryTest, OneValueByCaseInsensitiveName) {
  int exit_code = -1;
  EXPECT_EQ(FormatQuery("HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmarsh\\morvelFlag\\", std::string("NOSTART"), &exit_code),
            "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmarsh\\morvelFlag\n    nostart    REG_DWORD    0x1f\n\n");
  EXPECT_EQ(exit_code, 0);
}

TEST_F(FormatQueryTest, ErrorsExitWithOne) {
  struct Case {
    const char* key;
    std::optional<std::string> value;
    const char* text;
  } cases[] = {
      {"HKLM\\SOFTWARE\\Nothing", std::nullopt,
       "ERROR: The system was unable to find the specified registry key or value.\n"},
      {"HKLM\\SOFTWARE\\Quillmarsh\\morvelFlag", std::string("ESN"),
       "ERROR: The system was unable to find the specified registry key or value.\n"},
      {"HKCU\\Software", std::nullopt, "ERROR: The system was unable to find the specified registry key or value.\n"},
      {"HKXX\\SOFTWARE", std::nullopt, "ERROR: Invalid key name.\nType \"REG QUERY /?\" for usage.\n"},
      {"HKLM\\\\SOFTWARE", std::nullopt, "ERROR: Invalid key name.\nType \"REG QUERY /?\" for usage.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    int exit_code = -1;
    EXPECT_EQ(FormatQuery(c.key, c.value, &exit_code), c.text);
    EXPECT_EQ(exit_code, 1);
  }
  KeyId user = 0;
  EXPECT_EQ(OpenKey(kUsersKey, u"Administrator", &user), ERROR_FILE_NOT_FOUND) << "a query makes no hive";
}

TEST_F(FormatQueryTest, CurrentUserAndUsersRootsNameTheSameHive) {
  ::setenv("XPMACHINE_USER", "User", 1);
  KeyId hive = 0, key = 0;
  ASSERT_EQ(OpenUserHive(u"User", &hive), ERROR_SUCCESS);
  ASSERT_EQ(CreateKey(hive, u"Software\\Shell Folders", &key, nullptr), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(key, u"AppData", REG_SZ, Wide(std::u16string(u"C:\\D\\A") + u'\0')), ERROR_SUCCESS);
  int exit_code = -1;
  EXPECT_EQ(FormatQuery("hkcu\\software\\shell folders", std::nullopt, &exit_code),
            "\nHKEY_CURRENT_USER\\software\\shell folders\n    AppData    REG_SZ    C:\\D\\A\n\n");
  EXPECT_EQ(FormatQuery("HKU\\User\\Software", std::nullopt, &exit_code),
            "\nHKEY_USERS\\User\\Software\n\nHKEY_USERS\\User\\Software\\Shell Folders\n");
  ::unsetenv("XPMACHINE_USER");
}

}  // namespace
}  // namespace xp::registry
