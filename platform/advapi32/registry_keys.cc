// The registry's key calls: open, create, delete, close, enumerate subkeys, flush. The A and W forms differ only
// in how names arrive; both land in the store as UTF-16.
#include <cstdio>
#include <cstring>

#include "advapi32_private.h"
#include "xp/faults.h"

namespace xp::advapi32 {
namespace {

std::u16string Name(LPCSTR name) { return name != nullptr ? registry::AnsiToUtf16(name) : std::u16string(); }
std::u16string Name(LPCWSTR name) { return name != nullptr ? std::u16string(name) : std::u16string(); }

std::string Hex(DWORD number) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", number);
  return text;
}

LONG OpenKey(const char* function, HKEY hkey, const std::u16string& sub_key, DWORD options, REGSAM sam, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (options != 0) return Unimplemented(function, "options " + Hex(options));
  if (!SupportedAccess(sam)) return Unimplemented(function, "access " + Hex(sam));
  OpenedKey parent;
  const LONG resolved = ResolveKey(hkey, &parent);
  if (resolved != ERROR_SUCCESS) return resolved;
  registry::KeyId key = 0;
  const LONG opened = registry::OpenKey(parent.id, sub_key, &key);
  if (opened != ERROR_SUCCESS) return opened;
  *result = InsertKey(OpenedKey{key, sam});
  return ERROR_SUCCESS;
}

struct CreateRequest {
  DWORD reserved;
  bool has_class;
  DWORD options;
  REGSAM sam;
  LPSECURITY_ATTRIBUTES security;
};

LONG CreateKey(const char* function, HKEY hkey, const std::u16string& sub_key, const CreateRequest& request,
               PHKEY result, LPDWORD disposition) {
  if (result == nullptr || request.reserved != 0) return ERROR_INVALID_PARAMETER;
  if (request.has_class) return Unimplemented(function, "a key class");
  if (request.options != REG_OPTION_NON_VOLATILE) return Unimplemented(function, "options " + Hex(request.options));
  if (request.security != nullptr) return Unimplemented(function, "security attributes");
  if (!SupportedAccess(request.sam)) return Unimplemented(function, "access " + Hex(request.sam));
  OpenedKey parent;
  const LONG resolved = ResolveKey(hkey, &parent);
  if (resolved != ERROR_SUCCESS) return resolved;
  registry::KeyId key = 0;
  bool created = false;
  const LONG made = registry::CreateKey(parent.id, sub_key, &key, &created);
  if (made != ERROR_SUCCESS) return made;
  *result = InsertKey(OpenedKey{key, request.sam});
  if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG DeleteKey(HKEY hkey, LPCSTR sub_key) {
  if (sub_key == nullptr) return ERROR_INVALID_PARAMETER;
  OpenedKey parent;
  const LONG resolved = ResolveKey(hkey, &parent);
  if (resolved != ERROR_SUCCESS) return resolved;
  const LONG result = registry::DeleteKey(parent.id, Name(sub_key));
  if (result == ERROR_SUCCESS) machine::CrashPoint("RegDeleteKeyA", sub_key);
  return result;
}

LONG CloseKey(HKEY hkey) {
  if (IsPredefinedKey(hkey)) return ERROR_SUCCESS;
  return RemoveKey(hkey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG EnumKey(HKEY hkey, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved, LPSTR key_class,
             LPDWORD class_size, PFILETIME written) {
  if (reserved != nullptr || name == nullptr || name_size == nullptr) return ERROR_INVALID_PARAMETER;
  if (key_class != nullptr || class_size != nullptr) return Unimplemented("RegEnumKeyExA", "key classes");
  if (written != nullptr) return Unimplemented("RegEnumKeyExA", "last write times");
  OpenedKey key;
  const LONG resolved = ResolveKeyFor(hkey, KEY_ENUMERATE_SUB_KEYS, &key);
  if (resolved != ERROR_SUCCESS) return resolved;
  std::u16string found_name;
  const LONG found = registry::EnumKey(key.id, index, &found_name);
  if (found != ERROR_SUCCESS) return found;
  const std::string ansi = registry::Utf16ToAnsi(found_name);
  if (ansi.size() + 1 > *name_size) return ERROR_MORE_DATA;
  std::memcpy(name, ansi.c_str(), ansi.size() + 1);
  *name_size = static_cast<DWORD>(ansi.size());
  return ERROR_SUCCESS;
}

LONG FlushKey(HKEY hkey) {
  OpenedKey key;
  const LONG resolved = ResolveKey(hkey, &key);
  return resolved != ERROR_SUCCESS ? resolved : registry::Flush();
}

}  // namespace
}  // namespace xp::advapi32

// Exported by advapi32.
extern "C" LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  return xp::advapi32::OpenKey("RegOpenKeyExA", hKey, xp::advapi32::Name(lpSubKey), ulOptions, samDesired, phkResult);
}

// Exported by advapi32.
extern "C" LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  return xp::advapi32::OpenKey("RegOpenKeyExW", hKey, xp::advapi32::Name(lpSubKey), ulOptions, samDesired, phkResult);
}

// Exported by advapi32.
extern "C" LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                   REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                   LPDWORD lpdwDisposition) {
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  const bool has_class = lpClass != nullptr && *lpClass != '\0';
  return xp::advapi32::CreateKey("RegCreateKeyExA", hKey, xp::advapi32::Name(lpSubKey),
                                 {Reserved, has_class, dwOptions, samDesired, lpSecurityAttributes}, phkResult,
                                 lpdwDisposition);
}

// Exported by advapi32.
extern "C" LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                                   REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                   LPDWORD lpdwDisposition) {
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  const bool has_class = lpClass != nullptr && *lpClass != u'\0';
  return xp::advapi32::CreateKey("RegCreateKeyExW", hKey, xp::advapi32::Name(lpSubKey),
                                 {Reserved, has_class, dwOptions, samDesired, lpSecurityAttributes}, phkResult,
                                 lpdwDisposition);
}

// Exported by advapi32.
extern "C" LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) { return xp::advapi32::DeleteKey(hKey, lpSubKey); }

// Exported by advapi32.
extern "C" LSTATUS RegCloseKey(HKEY hKey) { return xp::advapi32::CloseKey(hKey); }

// Exported by advapi32.
extern "C" LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                 LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  return xp::advapi32::EnumKey(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass, lpftLastWriteTime);
}

// Exported by advapi32.
extern "C" LSTATUS RegFlushKey(HKEY hKey) { return xp::advapi32::FlushKey(hKey); }
