// The registry's value calls: query, set, delete, enumerate. The store keeps strings as UTF-16LE; the A forms
// convert them through the ANSI code page on the way in and out and report ANSI byte lengths. A set or a delete
// that completed is a crash point ("RegSetValueExA", "RegDeleteValueA", with the value's name as path).
#include <cstring>

#include "advapi32_private.h"
#include "xp/faults.h"

namespace xp::advapi32 {
namespace {

std::u16string Name(LPCSTR name) { return name != nullptr ? registry::AnsiToUtf16(name) : std::u16string(); }
std::u16string Name(LPCWSTR name) { return name != nullptr ? std::u16string(name) : std::u16string(); }

// Hands data to a query's caller: with no buffer, only the size; a buffer too small gets nothing and
// ERROR_MORE_DATA with the size needed. No terminator is added.
LONG Deliver(DWORD type, const std::vector<uint8_t>& bytes, LPDWORD type_out, LPBYTE data, LPDWORD size) {
  if (type_out != nullptr) *type_out = type;
  const auto needed = static_cast<DWORD>(bytes.size());
  if (data != nullptr) {
    const bool fits = *size >= needed;
    *size = needed;
    if (!fits) return ERROR_MORE_DATA;
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  } else if (size != nullptr) {
    *size = needed;
  }
  return ERROR_SUCCESS;
}

LONG Query(HKEY hkey, const std::u16string& name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size,
           bool ansi) {
  if (reserved != nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_PARAMETER;
  OpenedKey key;
  const LONG resolved = ResolveKeyFor(hkey, KEY_QUERY_VALUE, &key);
  if (resolved != ERROR_SUCCESS) return resolved;
  registry::Value value;
  const LONG found = registry::QueryValue(key.id, name, &value);
  if (found != ERROR_SUCCESS) return found;
  return Deliver(value.type, ansi ? registry::StoredDataToAnsi(value.type, value.data) : value.data, type, data, size);
}

LONG Set(HKEY hkey, const std::u16string& name, DWORD reserved, DWORD type, const BYTE* data, DWORD size, bool ansi) {
  if (reserved != 0) return ERROR_INVALID_PARAMETER;
  if (data == nullptr && size != 0) return ERROR_NOACCESS;
  OpenedKey key;
  const LONG resolved = ResolveKeyFor(hkey, KEY_SET_VALUE, &key);
  if (resolved != ERROR_SUCCESS) return resolved;
  if (const std::optional<uint32_t> error =
          machine::FailPoint(ansi ? "RegSetValueExA" : "RegSetValueExW", registry::Utf16ToAnsi(name))) {
    return static_cast<LONG>(*error);
  }
  const std::vector<uint8_t> stored = ansi ? registry::AnsiDataToStored(type, data, size)
                                           : std::vector<uint8_t>(data, data + (data != nullptr ? size : 0));
  const LONG result = registry::SetValue(key.id, name, type, stored);
  if (result == ERROR_SUCCESS) {
    machine::CrashPoint(ansi ? "RegSetValueExA" : "RegSetValueExW", registry::Utf16ToAnsi(name));
  }
  return result;
}

LONG DeleteValue(HKEY hkey, LPCSTR name) {
  OpenedKey key;
  const LONG resolved = ResolveKeyFor(hkey, KEY_SET_VALUE, &key);
  if (resolved != ERROR_SUCCESS) return resolved;
  const LONG result = registry::DeleteValue(key.id, Name(name));
  if (result == ERROR_SUCCESS) machine::CrashPoint("RegDeleteValueA", name != nullptr ? name : "");
  return result;
}

LONG EnumValue(HKEY hkey, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved, LPDWORD type, LPBYTE data,
               LPDWORD size) {
  if (reserved != nullptr || name == nullptr || name_size == nullptr || (data != nullptr && size == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  OpenedKey key;
  const LONG resolved = ResolveKeyFor(hkey, KEY_QUERY_VALUE, &key);
  if (resolved != ERROR_SUCCESS) return resolved;
  registry::Value value;
  const LONG found = registry::EnumValue(key.id, index, &value);
  if (found != ERROR_SUCCESS) return found;
  const std::string ansi_name = registry::Utf16ToAnsi(value.name);
  if (ansi_name.size() + 1 > *name_size) return ERROR_MORE_DATA;
  std::memcpy(name, ansi_name.c_str(), ansi_name.size() + 1);
  *name_size = static_cast<DWORD>(ansi_name.size());
  return Deliver(value.type, registry::StoredDataToAnsi(value.type, value.data), type, data, size);
}

}  // namespace
}  // namespace xp::advapi32

// Exported by advapi32.
extern "C" LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                    LPDWORD lpcbData) {
  return xp::advapi32::Query(hKey, xp::advapi32::Name(lpValueName), lpReserved, lpType, lpData, lpcbData, true);
}

// Exported by advapi32.
extern "C" LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                    LPDWORD lpcbData) {
  return xp::advapi32::Query(hKey, xp::advapi32::Name(lpValueName), lpReserved, lpType, lpData, lpcbData, false);
}

// Exported by advapi32.
extern "C" LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                  DWORD cbData) {
  return xp::advapi32::Set(hKey, xp::advapi32::Name(lpValueName), Reserved, dwType, lpData, cbData, true);
}

// Exported by advapi32.
extern "C" LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                  DWORD cbData) {
  return xp::advapi32::Set(hKey, xp::advapi32::Name(lpValueName), Reserved, dwType, lpData, cbData, false);
}

// Exported by advapi32.
extern "C" LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return xp::advapi32::DeleteValue(hKey, lpValueName);
}

// Exported by advapi32.
extern "C" LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                 LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return xp::advapi32::EnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType, lpData, lpcbData);
}
