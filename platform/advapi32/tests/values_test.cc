// Conformance of the value calls: exact sizes with and without the NUL, ERROR_MORE_DATA with the size needed and
// the buffer untouched, the size-only query, the A/W views of one stored string, case-insensitive names, deletion
// and value enumeration.
#include <cstring>
#include <vector>

#include "registry_fixture.h"

namespace xp::advapi32 {
namespace {

constexpr BYTE kUntouched = 0xCC;

class ValuesTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    key_ = MakeKey("SOFTWARE\\Quillmarsh\\morvelFlag");
  }
  void TearDown() override {
    EXPECT_EQ(RegCloseKey(key_), ERROR_SUCCESS);
    RegistryTest::TearDown();
  }
  HKEY key_ = nullptr;
};

TEST_F(ValuesTest, ReadsBackExactlyTheBytesWrittenOrAsksForMoreRoom) {
  const std::string run_setup = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskunseal.exe";
  const std::string long_path(254, 'p');
  struct Case {
    const char* what;
    DWORD type;
    std::string data;  // exactly the bytes written
    DWORD buffer;
    LONG result;
    DWORD size;
  } cases[] = {
      {"flag digit with NUL", REG_SZ, std::string("3", 2), 4, ERROR_SUCCESS, 2},
      {"three digits with NUL", REG_SZ, std::string("123", 4), 4, ERROR_SUCCESS, 4},
      {"four digits do not fit", REG_SZ, std::string("1234", 5), 4, ERROR_MORE_DATA, 5},
      {"RunOnce path without NUL", REG_SZ, run_setup, 261, ERROR_SUCCESS, 51},
      {"Winlogon DLL with NUL", REG_SZ, std::string("msgina.dll", 11), 261, ERROR_SUCCESS, 11},
      {"255 bytes fill 255", REG_SZ, long_path + '\0', 255, ERROR_SUCCESS, 255},
      {"256 bytes overflow 255", REG_SZ, long_path + "q" + '\0', 255, ERROR_MORE_DATA, 256},
      {"empty string", REG_SZ, "", 4, ERROR_SUCCESS, 0},
      {"code page 1252", REG_EXPAND_SZ, std::string("\x80\xE9", 3), 8, ERROR_SUCCESS, 3},
      {"volume serial", REG_DWORD, std::string("\xE4\x71\x3C\x5A", 4), 4, ERROR_SUCCESS, 4},
      {"short dword buffer", REG_DWORD, std::string("\x01\0\0\0", 4), 3, ERROR_MORE_DATA, 4},
      {"multi string", REG_MULTI_SZ, std::string("a\0bc\0\0", 6), 6, ERROR_SUCCESS, 6},
      {"binary", REG_BINARY, std::string("\0\x01\xFF", 3), 2, ERROR_MORE_DATA, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(RegSetValueExA(key_, "Value", 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                             static_cast<DWORD>(c.data.size())),
              ERROR_SUCCESS);
    std::vector<BYTE> buffer(c.buffer + 1, kUntouched);
    DWORD type = 0;
    DWORD size = c.buffer;
    EXPECT_EQ(RegQueryValueExA(key_, "value", nullptr, &type, buffer.data(), &size), c.result);
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(type, c.type);
    if (c.result == ERROR_SUCCESS) {
      EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + size), c.data);
      EXPECT_EQ(buffer[size], kUntouched) << "no NUL is added";
    } else {
      EXPECT_EQ(buffer, std::vector<BYTE>(c.buffer + 1, kUntouched)) << "nothing is written";
    }
    size = 0;
    EXPECT_EQ(RegQueryValueExA(key_, "VALUE", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, c.data.size()) << "the size-only query";
  }
}

TEST_F(ValuesTest, MissingValuesAndBadArguments) {
  DWORD size = 4;
  BYTE buffer[4];
  EXPECT_EQ(RegQueryValueExA(key_, "ESN", nullptr, nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(key_, nullptr, nullptr, nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(key_, "ESN"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(key_, "ESN", &size, nullptr, buffer, &size), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key_, "ESN", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(key_, "ESN", 0, REG_SZ, nullptr, 4), ERROR_NOACCESS);
  EXPECT_EQ(RegSetValueExA(key_, "ESN", 1, REG_SZ, buffer, 0), ERROR_INVALID_PARAMETER);

  ASSERT_EQ(SetString(key_, "ESN", "0012AB34"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(key_, "esn", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key_, "Esn"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key_, "ESN"), ERROR_FILE_NOT_FOUND);
}

TEST_F(ValuesTest, WideAndAnsiSeeOneStoredString) {
  ASSERT_EQ(SetString(key_, "GinaDLL", "msgina.dll"), ERROR_SUCCESS);
  char16_t wide[32];
  DWORD size = sizeof wide;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueExW(key_, u"ginadll", nullptr, &type, reinterpret_cast<BYTE*>(wide), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 22u);
  EXPECT_EQ(std::u16string(wide, size / 2), std::u16string(u"msgina.dll", 11));

  const std::u16string user(u"alice\u20ac", 7);
  ASSERT_EQ(RegSetValueExW(key_, u"Last User", 0, REG_SZ, reinterpret_cast<const BYTE*>(user.data()), 14),
            ERROR_SUCCESS);
  char ansi[16];
  size = sizeof ansi;
  ASSERT_EQ(RegQueryValueExA(key_, "LAST USER", nullptr, nullptr, reinterpret_cast<BYTE*>(ansi), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(ansi, size), std::string("alice\x80", 7));

  // A notice probe: an empty UTF-16 string is 2 bytes, so a 1-byte buffer asks for more.
  ASSERT_EQ(RegSetValueExW(key_, u"LegalNoticeText", 0, REG_SZ, reinterpret_cast<const BYTE*>(u""), 2), ERROR_SUCCESS);
  BYTE probe = kUntouched;
  size = 1;
  EXPECT_EQ(RegQueryValueExW(key_, u"LegalNoticeText", nullptr, &type, &probe, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(probe, kUntouched);
}

TEST_F(ValuesTest, RewritingAValueKeepsItsPlaceAndFirstSpelling) {
  ASSERT_EQ(SetString(key_, "serverName", "reg.test"), ERROR_SUCCESS);
  const DWORD port = 443;
  ASSERT_EQ(RegSetValueExA(key_, "httpsPort", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), 4), ERROR_SUCCESS);
  ASSERT_EQ(SetString(key_, "ServerName", "other.test"), ERROR_SUCCESS);

  struct Row {
    std::string name;
    DWORD type;
    DWORD size;
  };
  std::vector<Row> rows;
  char name[16];
  DWORD name_size = sizeof name;
  DWORD type = 0;
  DWORD size = 0;
  DWORD index = 0;
  for (; RegEnumValueA(key_, index, name, &name_size, nullptr, &type, nullptr, &size) == ERROR_SUCCESS; ++index) {
    EXPECT_EQ(name_size, std::strlen(name));
    rows.push_back(Row{name, type, size});
    name_size = sizeof name;
  }
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, "serverName");
  EXPECT_EQ(rows[0].size, 11u);
  EXPECT_EQ(rows[1].name, "httpsPort");
  EXPECT_EQ(rows[1].type, REG_DWORD);
  EXPECT_EQ(RegEnumValueA(key_, 2, name, &name_size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

  name_size = 10;  // "serverName" needs 11 with its NUL
  EXPECT_EQ(RegEnumValueA(key_, 0, name, &name_size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  name_size = sizeof name;
  BYTE data[4];
  size = sizeof data;
  EXPECT_EQ(RegEnumValueA(key_, 0, name, &name_size, nullptr, nullptr, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 11u);
}

}  // namespace
}  // namespace xp::advapi32
