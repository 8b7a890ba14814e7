// The store as the kernel side sees it: full "\Registry\..." paths, raw UTF-16 bytes, case-insensitive names kept
// in their first case, the roots that hold only hives, enumeration order and key identity.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "registry_private.h"
#include "scratch_machine.h"
#include "winreg.h"

namespace xp::registry {
namespace {

std::vector<uint8_t> Bytes(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

KeyId Create(KeyId parent, std::u16string_view path) {
  KeyId key = 0;
  EXPECT_EQ(CreateKey(parent, path, &key, nullptr), ERROR_SUCCESS);
  return key;
}

class StoreTest : public ::testing::Test {
 protected:
  test::ScratchMachine machine_{test::ScratchOptions{.plug_token = false, .fresh_registry = false}};
};

TEST_F(StoreTest, KernelPathReadsWhatAnAnsiWriterStoredUnderAnotherCase) {
  const KeyId writer = Create(kMachineKey, u"SOFTWARE\\Quillmarsh\\Tavik\\exclusion");
  const char rule[] = "\\WINDOWS";  // "C:\WINDOWS" becomes "\WINDOWS", written with its NUL: 9 bytes
  ASSERT_EQ(SetValue(writer, u"1", REG_SZ, AnsiDataToStored(REG_SZ, reinterpret_cast<const BYTE*>(rule), 9)),
            ERROR_SUCCESS);

  for (std::u16string_view path : {u"\\Registry\\Machine\\Software\\Quillmarsh\\Tavik\\Exclusion",
                                   u"\\REGISTRY\\MACHINE\\SOFTWARE\\QUILLMARSH\\TAVIK\\EXCLUSION\\"}) {
    KeyId reader = 0;
    ASSERT_EQ(OpenPath(path, &reader), ERROR_SUCCESS);
    EXPECT_EQ(reader, writer);
    Value value;
    ASSERT_EQ(QueryValue(reader, u"1", &value), ERROR_SUCCESS);
    EXPECT_EQ(value.type, REG_SZ);
    EXPECT_EQ(value.data, Bytes(std::u16string(u"\\WINDOWS") + u'\0'));
    EXPECT_EQ(value.data.size(), 18u);
  }
  std::u16string path;
  ASSERT_EQ(KeyPath(writer, &path), ERROR_SUCCESS);
  EXPECT_EQ(path, u"\\REGISTRY\\MACHINE\\SOFTWARE\\Quillmarsh\\Tavik\\exclusion");
}

TEST_F(StoreTest, PathsAreCheckedBeforeTheyAreWalked) {
  Create(kMachineKey, u"SYSTEM\\CurrentControlSet\\Services\\Morvel");
  struct Case {
    std::u16string_view path;
    bool absolute;
    LONG expected;
  } cases[] = {
      {u"SYSTEM\\CurrentControlSet\\Services\\Morvel", false, ERROR_SUCCESS},
      {u"system\\currentcontrolset\\services\\", false, ERROR_SUCCESS},
      {u"", false, ERROR_SUCCESS},
      {u"SYSTEM\\ControlSet001", false, ERROR_FILE_NOT_FOUND},
      {u"\\SYSTEM", false, ERROR_BAD_PATHNAME},
      {u"SYSTEM\\\\CurrentControlSet", false, ERROR_BAD_PATHNAME},
      {u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\Morvel", true, ERROR_SUCCESS},
      {u"\\Registry", true, ERROR_SUCCESS},
      {u"\\Registry\\User", true, ERROR_SUCCESS},
      {u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\Other", true, ERROR_FILE_NOT_FOUND},
      {u"\\RegistryX\\Machine", true, ERROR_BAD_PATHNAME},
      {u"Registry\\Machine", true, ERROR_BAD_PATHNAME},
      {u"\\??\\C:\\", true, ERROR_BAD_PATHNAME},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.path));
    KeyId key = 0;
    EXPECT_EQ(c.absolute ? OpenPath(c.path, &key) : OpenKey(kMachineKey, c.path, &key), c.expected);
  }
}

TEST_F(StoreTest, RootsHoldOnlyHivesAndHivesCannotBeDeleted) {
  KeyId user = 0;
  ASSERT_EQ(OpenUserHive(u"Administrator", &user), ERROR_SUCCESS);
  KeyId key = 0;
  EXPECT_EQ(CreateKey(kMachineKey, u"Quillmarsh", &key, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateKey(kUsersKey, u"alice\\Software", &key, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteKey(kMachineKey, u"SOFTWARE"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteKey(kUsersKey, u"Administrator"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteKey(kMachineKey, u""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateKey(user, u"Software\\Microsoft", &key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(OpenKey(kMachineKey, u"Quillmarsh", &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(StoreTest, DeletedKeysStayDeletedForTheirOpenersEvenWhenMadeAgain) {
  const KeyId old_key = Create(kMachineKey, u"SOFTWARE\\Quillmarsh\\Tavik\\driver");
  ASSERT_EQ(SetValue(old_key, u"nostart", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
  ASSERT_EQ(DeleteKey(kMachineKey, u"SOFTWARE\\Quillmarsh\\Tavik\\driver"), ERROR_SUCCESS);
  const KeyId new_key = Create(kMachineKey, u"SOFTWARE\\Quillmarsh\\Tavik\\driver");

  EXPECT_NE(new_key, old_key);
  Value value;
  EXPECT_EQ(QueryValue(old_key, u"nostart", &value), ERROR_KEY_DELETED);
  EXPECT_EQ(SetValue(old_key, u"nostart", REG_DWORD, {0, 0, 0, 0}), ERROR_KEY_DELETED);
  KeyId key = 0;
  EXPECT_EQ(OpenKey(old_key, u"", &key), ERROR_KEY_DELETED);
  EXPECT_EQ(QueryValue(new_key, u"nostart", &value), ERROR_FILE_NOT_FOUND) << "values go with their key";
}

TEST_F(StoreTest, SubkeysEnumerateByFoldedNameAndValuesByFirstWrite) {
  const KeyId key = Create(kMachineKey, u"SOFTWARE\\Order");
  for (std::u16string_view name : {u"inclusion", u"Exception", u"exclusion", u"driver"}) Create(key, name);
  for (std::u16string_view name : {u"b", u"C", u"a"}) ASSERT_EQ(SetValue(key, name, REG_BINARY, {}), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(key, u"B", REG_DWORD, {7, 0, 0, 0}), ERROR_SUCCESS);  // rewritten: keeps its place and name
  ASSERT_EQ(DeleteValue(key, u"c"), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(key, u"c", REG_SZ, {}), ERROR_SUCCESS);  // deleted and written again: last, new case

  std::vector<std::u16string> subkeys;
  std::u16string name;
  for (DWORD i = 0; EnumKey(key, i, &name) == ERROR_SUCCESS; ++i) subkeys.push_back(name);
  EXPECT_EQ(subkeys, (std::vector<std::u16string>{u"driver", u"Exception", u"exclusion", u"inclusion"}));

  std::vector<std::u16string> values;
  Value value;
  DWORD i = 0;
  for (; EnumValue(key, i, &value) == ERROR_SUCCESS; ++i)
    values.push_back(value.name + u":" + Utf8ToUtf16(std::to_string(value.type)));
  EXPECT_EQ(values, (std::vector<std::u16string>{u"b:4", u"a:3", u"c:1"}));
  EXPECT_EQ(EnumValue(key, i, &value), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(EnumKey(key, 4, &name), ERROR_NO_MORE_ITEMS);
}

TEST_F(StoreTest, EmptyDataAndTheDefaultValueAreValuesLikeAnyOther) {
  const KeyId key = Create(kMachineKey, u"SOFTWARE\\Empty");
  ASSERT_EQ(SetValue(key, u"", REG_SZ, Bytes(std::u16string(1, u'\0'))), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(key, u"none", REG_BINARY, {}), ERROR_SUCCESS);
  Value value;
  ASSERT_EQ(QueryValue(key, u"", &value), ERROR_SUCCESS);
  EXPECT_EQ(value.data.size(), 2u);
  ASSERT_EQ(QueryValue(key, u"NONE", &value), ERROR_SUCCESS);
  EXPECT_EQ(value.type, REG_BINARY);
  EXPECT_TRUE(value.data.empty());
  EXPECT_EQ(value.name, u"none");
}

TEST_F(StoreTest, EachUserHasAHiveAndTheCurrentUserComesFromTheEnvironment) {
  ::unsetenv("XPMACHINE_USER");
  EXPECT_EQ(CurrentUser(), "Administrator");
  ::setenv("XPMACHINE_USER", "User", 1);
  EXPECT_EQ(CurrentUser(), "User");
  ::unsetenv("XPMACHINE_USER");

  KeyId admin = 0, user = 0, again = 0;
  ASSERT_EQ(OpenUserHive(u"Administrator", &admin), ERROR_SUCCESS);
  ASSERT_EQ(OpenUserHive(u"User", &user), ERROR_SUCCESS);
  ASSERT_EQ(OpenUserHive(u"user", &again), ERROR_SUCCESS);
  EXPECT_NE(admin, user);
  EXPECT_EQ(user, again);
  std::u16string path;
  ASSERT_EQ(KeyPath(user, &path), ERROR_SUCCESS);
  EXPECT_EQ(path, u"\\REGISTRY\\USER\\User");
  EXPECT_EQ(OpenUserHive(u"a\\b", &again), ERROR_BAD_PATHNAME);
}

TEST_F(StoreTest, NamesFoldBeyondAscii) {
  const KeyId key = Create(kMachineKey, u"SOFTWARE\\\u00e9t\u00e9 \u0161\u0153\u00ff \u0434\u0430");
  KeyId same = 0;
  ASSERT_EQ(OpenKey(kMachineKey, u"software\\\u00c9T\u00c9 \u0160\u0152\u0178 \u0414\u0410", &same), ERROR_SUCCESS);
  EXPECT_EQ(same, key);
  struct Case {
    char16_t lower, upper;
  } cases[] = {{u'a', u'A'},           {u'z', u'Z'},           {u'\u00e0', u'\u00c0'}, {u'\u00fe', u'\u00de'},
               {u'\u00f7', u'\u00f7'}, {u'\u00df', u'\u00df'}, {u'\u0101', u'\u0100'}, {u'\u013a', u'\u0139'},
               {u'\u017e', u'\u017d'}, {u'\u03c9', u'\u03a9'}, {u'\u0451', u'\u0401'}, {u'\\', u'\\'}};
  for (const Case& c : cases) {
    EXPECT_EQ(Upcase(c.lower), c.upper) << std::hex << int{c.lower};
    EXPECT_EQ(Upcase(c.upper), c.upper) << std::hex << int{c.upper};
  }
}

}  // namespace
}  // namespace xp::registry
