// The registry values of the device database, read and written on the ANSI side.
#include <strings.h>

#include <cstdio>

#include "pnp_private.h"
#include "winreg.h"

namespace xp::pnp {

std::u16string Wide(std::string_view ansi) { return registry::AnsiToUtf16(ansi); }

std::vector<uint8_t> StringData(std::string_view text) {
  const std::string with_nul = std::string(text) + '\0';
  return registry::AnsiDataToStored(REG_SZ, reinterpret_cast<const BYTE*>(with_nul.data()), with_nul.size());
}

std::vector<uint8_t> MultiStringData(const std::vector<std::string>& strings) {
  std::string list;
  for (const std::string& text : strings) list += text + '\0';
  list += '\0';
  return registry::AnsiDataToStored(REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.data()), list.size());
}

std::optional<std::string> StringValue(registry::KeyId key, std::u16string_view name) {
  registry::Value value;
  if (registry::QueryValue(key, name, &value) != ERROR_SUCCESS || value.type != REG_SZ) return std::nullopt;
  const std::vector<uint8_t> ansi = registry::StoredDataToAnsi(value.type, value.data);
  std::string text(ansi.begin(), ansi.end());
  return text.substr(0, text.find('\0'));
}

std::vector<std::string> MultiStringValue(registry::KeyId key, std::u16string_view name) {
  registry::Value value;
  std::vector<std::string> strings;
  if (registry::QueryValue(key, name, &value) != ERROR_SUCCESS || value.type != REG_MULTI_SZ) return strings;
  const std::vector<uint8_t> ansi = registry::StoredDataToAnsi(value.type, value.data);
  for (size_t at = 0; at < ansi.size();) {
    size_t end = at;
    while (end < ansi.size() && ansi[end] != 0) ++end;
    if (end == at) break;
    strings.emplace_back(ansi.begin() + static_cast<std::ptrdiff_t>(at),
                         ansi.begin() + static_cast<std::ptrdiff_t>(end));
    at = end + 1;
  }
  return strings;
}

LONG Subkeys(registry::KeyId parent, std::u16string_view sub_path, registry::KeyId* key,
             std::vector<std::string>* names) {
  names->clear();
  const LONG opened = registry::OpenKey(parent, sub_path, key);
  if (opened == ERROR_FILE_NOT_FOUND || opened == ERROR_KEY_DELETED) return ERROR_SUCCESS;
  if (opened != ERROR_SUCCESS) return opened;
  for (DWORD index = 0;; ++index) {
    std::u16string name;
    const LONG error = registry::EnumKey(*key, index, &name);
    if (error == ERROR_NO_MORE_ITEMS || error == ERROR_KEY_DELETED) return ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) return error;
    names->push_back(registry::Utf16ToAnsi(name));
  }
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
                guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

}  // namespace xp::pnp
