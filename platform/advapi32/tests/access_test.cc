// Conformance of access rights: what a handle opened with each mask may do. Value reads and enumeration need
// KEY_QUERY_VALUE, value writes and deletes KEY_SET_VALUE, subkey enumeration KEY_ENUMERATE_SUB_KEYS; opening or
// making subkeys through a handle needs no right of the handle.
#include "registry_fixture.h"

namespace xp::advapi32 {
namespace {

enum Call { kQuery, kSet, kDeleteValue, kEnumValue, kEnumKey, kCreateSub, kOpenSub };

LONG Perform(HKEY key, Call call) {
  char name[32];
  DWORD size = sizeof name;
  HKEY sub = nullptr;
  LONG result = ERROR_INVALID_FUNCTION;
  switch (call) {
    case kQuery:
      return RegQueryValueExA(key, "nostart", nullptr, nullptr, nullptr, &size);
    case kSet: {
      const DWORD zero = 0;
      return RegSetValueExA(key, "nostart", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), 4);
    }
    case kDeleteValue:
      return RegDeleteValueA(key, "missing");
    case kEnumValue:
      return RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    case kEnumKey:
      return RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    case kCreateSub:
      result = RegCreateKeyExA(key, "sub", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr);
      break;
    case kOpenSub:
      result = RegOpenKeyExA(key, "sub", 0, KEY_READ, &sub);
      break;
  }
  if (sub != nullptr) RegCloseKey(sub);
  return result;
}

TEST_F(RegistryTest, EachCallNeedsItsRightOnTheHandle) {
  HKEY setup = MakeKey("SOFTWARE\\Quillmarsh\\Tavik\\driver\\sub");
  RegCloseKey(setup);
  setup = MakeKey("SOFTWARE\\Quillmarsh\\Tavik\\driver");
  const DWORD one = 1;
  ASSERT_EQ(RegSetValueExA(setup, "nostart", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
  RegCloseKey(setup);

  constexpr LONG ok = ERROR_SUCCESS, denied = ERROR_ACCESS_DENIED, missing = ERROR_FILE_NOT_FOUND;
  struct Case {
    const char* mask_name;
    REGSAM mask;
    LONG results[7];  // kQuery, kSet, kDeleteValue, kEnumValue, kEnumKey, kCreateSub, kOpenSub
  } cases[] = {
      {"KEY_QUERY_VALUE", KEY_QUERY_VALUE, {ok, denied, denied, ok, denied, ok, ok}},
      {"KEY_SET_VALUE", KEY_SET_VALUE, {denied, ok, missing, denied, denied, ok, ok}},
      {"KEY_READ", KEY_READ, {ok, denied, denied, ok, ok, ok, ok}},
      {"KEY_WRITE", KEY_WRITE, {denied, ok, missing, denied, denied, ok, ok}},
      {"KEY_ALL_ACCESS", KEY_ALL_ACCESS, {ok, ok, missing, ok, ok, ok, ok}},
      {"no rights", 0, {denied, denied, denied, denied, denied, ok, ok}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask_name);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik\\driver", 0, c.mask, &key), ERROR_SUCCESS);
    for (Call call : {kQuery, kSet, kDeleteValue, kEnumValue, kEnumKey, kCreateSub, kOpenSub}) {
      EXPECT_EQ(Perform(key, call), c.results[call]) << "call " << call;
    }
    RegCloseKey(key);
  }
}

}  // namespace
}  // namespace xp::advapi32
