// Conformance of the key calls: opening and its errors, creation with its dispositions and missing parents, the
// depth-first delete XP forces, subkey enumeration, handles, the per-user HKEY_CURRENT_USER, and the loud refusal
// of what is not implemented.
#include <cstring>
#include <vector>

#include "registry_fixture.h"

namespace xp::advapi32 {
namespace {

// The callers' recursive delete: enumerate index 0 until ERROR_NO_MORE_ITEMS, deleting each child's tree first.
LONG DeleteTree(HKEY parent, const char* name) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
  if (result != ERROR_SUCCESS) return result;
  char child[256];
  DWORD size = sizeof child;
  while ((result = RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr)) == ERROR_SUCCESS) {
    if ((result = DeleteTree(key, child)) != ERROR_SUCCESS) break;
    size = sizeof child;
  }
  RegCloseKey(key);
  return result == ERROR_NO_MORE_ITEMS ? RegDeleteKeyA(parent, name) : result;
}

TEST_F(RegistryTest, OpenFindsKeysWhateverTheCaseAndReportsWhatIsMissing) {
  RegCloseKey(MakeKey("SOFTWARE\\Quillmarsh\\morvelFlag"));
  struct Case {
    HKEY root;
    const char* sub_key;
    REGSAM sam;
    LONG expected;
  } cases[] = {
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\morvelFlag", KEY_ALL_ACCESS, ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, "software\\QUILLMARSH\\MorvelFlag\\", KEY_QUERY_VALUE, ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik", KEY_ALL_ACCESS, ERROR_FILE_NOT_FOUND},
      {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services", KEY_READ, ERROR_FILE_NOT_FOUND},
      {HKEY_LOCAL_MACHINE, nullptr, KEY_READ, ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, "", 0, ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE", KEY_READ, ERROR_BAD_PATHNAME},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\\\Quillmarsh", KEY_READ, ERROR_BAD_PATHNAME},
      {HKEY_USERS, "Administrator", KEY_READ, ERROR_FILE_NOT_FOUND},
      {reinterpret_cast<HKEY>(0x1234), "SOFTWARE", KEY_READ, ERROR_INVALID_HANDLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sub_key != nullptr ? c.sub_key : "(null)");
    HKEY key = reinterpret_cast<HKEY>(0x99);
    EXPECT_EQ(RegOpenKeyExA(c.root, c.sub_key, 0, c.sam, &key), c.expected);
    if (c.expected == ERROR_SUCCESS) {
      EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    } else {
      EXPECT_EQ(key, nullptr);
    }
  }
}

TEST_F(RegistryTest, CreateMakesMissingParentsAndTellsNewFromExisting) {
  const char* kRule = "SOFTWARE\\Quillmarsh\\Tavik\\exclusion";
  for (DWORD expected : {REG_CREATED_NEW_KEY, REG_OPENED_EXISTING_KEY}) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRule, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, expected);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  }
  HKEY parent = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUILLMARSH\\TAVIK", 0, KEY_READ, &parent), ERROR_SUCCESS);
  HKEY again = nullptr;
  DWORD disposition = 0;
  EXPECT_EQ(RegCreateKeyExA(parent, "Exclusion", 0, nullptr, 0, KEY_READ, nullptr, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  char name[32];
  DWORD size = sizeof name;
  ASSERT_EQ(RegEnumKeyExA(parent, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "exclusion") << "the first spelling is kept";
  RegCloseKey(again);
  RegCloseKey(parent);
}

TEST_F(RegistryTest, DeleteRefusesAKeyWithSubkeysSoCallersGoDepthFirst) {
  RegCloseKey(MakeKey("SOFTWARE\\Quillmarsh\\Tavik\\driver"));
  RegCloseKey(MakeKey("SOFTWARE\\Quillmarsh\\Tavik\\exclusion\\deeper"));
  HKEY quillmarsh = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh", 0, KEY_ALL_ACCESS, &quillmarsh), ERROR_SUCCESS);

  EXPECT_EQ(RegDeleteKeyA(quillmarsh, "Tavik"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(quillmarsh, "Tavik\\exclusion"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(quillmarsh, "Tavik\\missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(quillmarsh, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(DeleteTree(quillmarsh, "Tavik"), ERROR_SUCCESS);

  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE"), ERROR_ACCESS_DENIED) << "a hive stays";
  RegCloseKey(quillmarsh);
}

TEST_F(RegistryTest, EnumerationNeedsRoomForTheNulAndEndsWithNoMoreItems) {
  HKEY key = MakeKey("SOFTWARE\\Quillmarsh\\Tavik");
  for (const char* name : {"inclusion", "Exception", "driver", "exclusion"}) {
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExA(key, name, 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), ERROR_SUCCESS);
    RegCloseKey(sub);
  }
  std::vector<std::string> names;
  char name[16];
  DWORD size = sizeof name;
  DWORD index = 0;
  for (; RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++index) {
    EXPECT_EQ(size, std::strlen(name));
    names.emplace_back(name);
    size = sizeof name;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"driver", "Exception", "exclusion", "inclusion"}));
  EXPECT_EQ(index, 4u);
  EXPECT_EQ(RegEnumKeyExA(key, 4, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

  size = 6;  // "driver" needs 7 with its NUL
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  size = 7;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  RegCloseKey(key);
}

TEST_F(RegistryTest, HandlesCloseOnceAndOutliveNoDeletedKey) {
  HKEY first = MakeKey("SOFTWARE\\Quillmarsh\\morvelFlag");
  HKEY second = MakeKey("SOFTWARE\\Quillmarsh\\morvelFlag");
  EXPECT_NE(first, second);
  ASSERT_EQ(SetString(first, "Decrypted", "1"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(first, "Decrypted"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\morvelFlag"), ERROR_SUCCESS);

  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(second, "Decrypted", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(SetString(second, "Decrypted", "1"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(second), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(second), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(first), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(RegFlushKey(first), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, CurrentUserIsTheHiveOfTheUserTheEnvironmentNames) {
  const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  ::setenv("XPMACHINE_USER", "User", 1);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(SetString(key, "AppData", "C:\\Documents and Settings\\User\\Application Data"), ERROR_SUCCESS);
  RegCloseKey(key);

  ::unsetenv("XPMACHINE_USER");
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE, &key), ERROR_FILE_NOT_FOUND);
  const std::string through_users = std::string("User\\") + kShellFolders;
  ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, through_users.c_str(), 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  char path[261];
  DWORD size = sizeof path;
  ASSERT_EQ(RegQueryValueExA(key, "appdata", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size), ERROR_SUCCESS);
  EXPECT_STREQ(path, "C:\\Documents and Settings\\User\\Application Data");
  RegCloseKey(key);
}

TEST_F(RegistryTest, WhatIsNotImplementedFailsLoudly) {
  HKEY key = MakeKey("SOFTWARE\\Quillmarsh");
  char text[] = "class";
  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
  char name[16];
  DWORD size = sizeof name;
  FILETIME* written = reinterpret_cast<FILETIME*>(name);
  HKEY out = nullptr;
  struct Case {
    const char* what;
    std::function<LONG()> call;
  } cases[] = {
      {"open link", [&] { return RegOpenKeyExA(key, "", 8, KEY_READ, &out); }},
      {"maximum allowed", [&] { return RegOpenKeyExA(key, "", 0, 0x02000000, &out); }},
      {"generic read", [&] { return RegOpenKeyExA(key, "", 0, 0x80000000, &out); }},
      {"classes root", [&] { return RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_READ, &out); }},
      {"volatile",
       [&] { return RegCreateKeyExA(key, "v", 0, nullptr, REG_OPTION_VOLATILE, KEY_READ, nullptr, &out, nullptr); }},
      {"class", [&] { return RegCreateKeyExA(key, "v", 0, text, 0, KEY_READ, nullptr, &out, nullptr); }},
      {"security", [&] { return RegCreateKeyExA(key, "v", 0, nullptr, 0, KEY_READ, &security, &out, nullptr); }},
      {"write time", [&] { return RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, written); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetLastError(kSentinel);
    EXPECT_EQ(c.call(), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  }
  EXPECT_EQ(RegOpenKeyExA(key, "v", 0, KEY_READ, &out), ERROR_FILE_NOT_FOUND) << "nothing was made";
  RegCloseKey(key);
  SetLastError(kSentinel);
}

}  // namespace
}  // namespace xp::advapi32
