// `xpmachine reg query`: a key or one value printed as reg.exe's query prints it, so a person can read the
// machine's registry. It reads in one transaction and never counts against injected faults.
#include <cinttypes>
#include <cstdio>

#include "registry_private.h"
#include "winreg.h"

namespace xp::registry {
namespace {

constexpr const char* kNotFound = "ERROR: The system was unable to find the specified registry key or value.\n";
constexpr const char* kInvalidKey = "ERROR: Invalid key name.\nType \"REG QUERY /?\" for usage.\n";

struct Root {
  const char* short_name;
  const char* long_name;
};
constexpr Root kRoots[] = {{"HKLM", "HKEY_LOCAL_MACHINE"}, {"HKCU", "HKEY_CURRENT_USER"}, {"HKU", "HKEY_USERS"}};

const char* TypeName(DWORD type) {
  static const char* const kNames[] = {"REG_NONE",
                                       "REG_SZ",
                                       "REG_EXPAND_SZ",
                                       "REG_BINARY",
                                       "REG_DWORD",
                                       "REG_DWORD_BIG_ENDIAN",
                                       "REG_LINK",
                                       "REG_MULTI_SZ",
                                       "REG_RESOURCE_LIST",
                                       "REG_FULL_RESOURCE_DESCRIPTOR",
                                       "REG_RESOURCE_REQUIREMENTS_LIST",
                                       "REG_QWORD"};
  return type < std::size(kNames) ? kNames[type] : "REG_UNKNOWN";
}

std::u16string Units(const std::vector<uint8_t>& data) {
  std::u16string units;
  for (size_t i = 0; i + 1 < data.size(); i += 2) units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  return units;
}

uint64_t LittleEndian(const std::vector<uint8_t>& data) {
  uint64_t number = 0;
  for (size_t i = data.size(); i > 0; --i) number = (number << 8) | data[i - 1];
  return number;
}

std::string FormatData(DWORD type, const std::vector<uint8_t>& data) {
  char number[24];
  if ((type == REG_DWORD && data.size() == 4) || (type == REG_QWORD && data.size() == 8)) {
    std::snprintf(number, sizeof number, "0x%" PRIx64, LittleEndian(data));
    return number;
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    const std::u16string units = Units(data);
    return Utf16ToUtf8(std::u16string_view(units).substr(0, units.find(u'\0')));
  }
  if (type == REG_MULTI_SZ) {
    std::string text;
    const std::u16string units = Units(data);
    for (size_t start = 0; start < units.size();) {
      const size_t end = std::min(units.find(u'\0', start), units.size());
      if (end == start) break;  // the empty string that ends the list
      if (start > 0) text += "\\0";
      text += Utf16ToUtf8(std::u16string_view(units).substr(start, end - start));
      start = end + 1;
    }
    return text;
  }
  std::string hex;
  for (uint8_t byte : data) {
    std::snprintf(number, sizeof number, "%02X", byte);
    hex += number;
  }
  return hex;
}

std::string ValueLine(const Value& value) {
  const std::string name = value.name.empty() ? "(Default)" : Utf16ToUtf8(value.name);
  return "    " + name + "    " + TypeName(value.type) + "    " + FormatData(value.type, value.data) + "\n";
}

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upcase(static_cast<unsigned char>(a[i])) != Upcase(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// The root a typed key starts with, and the key it names in the store (nullopt: a user without a hive yet).
std::optional<KeyId> RootKey(const Transaction& transaction, const Root& root) {
  if (&root == &kRoots[0]) return kMachineKey;
  if (&root == &kRoots[2]) return kUsersKey;
  return FindChild(transaction, kUsersKey, Utf8ToUtf16(CurrentUser()));
}

std::vector<Value> AllValues(const Transaction& transaction, KeyId key) {
  std::vector<Value> values;
  Statement all(transaction, "SELECT name, type, data FROM key_values WHERE key = ? ORDER BY id");
  all.Bind(1, key);
  while (all.Step()) values.push_back(Value{all.Text16(0), static_cast<DWORD>(all.Int(1)), all.Blob(2)});
  return values;
}

std::vector<std::u16string> AllSubkeys(const Transaction& transaction, KeyId key) {
  std::vector<std::u16string> names;
  Statement all(transaction, "SELECT name FROM keys WHERE parent = ? ORDER BY folded");
  all.Bind(1, key);
  while (all.Step()) names.push_back(all.Text16(0));
  return names;
}

}  // namespace

std::string FormatQuery(const std::string& key, const std::optional<std::string>& value_name, int* exit_code) {
  *exit_code = 1;
  const size_t slash = key.find('\\');
  const std::string_view typed_root = std::string_view(key).substr(0, slash);
  const Root* root = nullptr;
  for (const Root& candidate : kRoots) {
    if (SameAscii(typed_root, candidate.short_name) || SameAscii(typed_root, candidate.long_name)) root = &candidate;
  }
  if (root == nullptr) return kInvalidKey;
  std::string sub_path = slash == std::string::npos ? "" : key.substr(slash + 1);
  const std::u16string wide_sub_path = Utf8ToUtf16(sub_path);
  const auto components = SplitPath(wide_sub_path);
  if (!components) return kInvalidKey;
  if (!sub_path.empty() && sub_path.back() == '\\') sub_path.pop_back();
  const std::string key_line = std::string(root->long_name) + (sub_path.empty() ? "" : "\\" + sub_path);

  std::string text;
  const LONG result = RunInTransaction("FormatQuery", [&](Transaction& transaction) -> LONG {
    const std::optional<KeyId> start = RootKey(transaction, *root);
    KeyId found = 0;
    if (!start || Walk(transaction, *start, *components, &found) != ERROR_SUCCESS) return ERROR_FILE_NOT_FOUND;
    text = "\n" + key_line + "\n";
    if (value_name) {
      Statement one(transaction, "SELECT name, type, data FROM key_values WHERE key = ? AND folded = ?");
      if (!one.Bind(1, found).Bind(2, Fold(Utf8ToUtf16(*value_name))).Step()) return ERROR_FILE_NOT_FOUND;
      text += ValueLine(Value{one.Text16(0), static_cast<DWORD>(one.Int(1)), one.Blob(2)}) + "\n";
      return ERROR_SUCCESS;
    }
    for (const Value& value : AllValues(transaction, found)) text += ValueLine(value);
    text += "\n";
    for (const std::u16string& subkey : AllSubkeys(transaction, found))
      text += key_line + "\\" + Utf16ToUtf8(subkey) + "\n";
    return ERROR_SUCCESS;
  });
  if (result == ERROR_FILE_NOT_FOUND) return kNotFound;
  if (result != ERROR_SUCCESS) return "ERROR: The registry cannot be read.\n";
  *exit_code = 0;
  return text;
}

}  // namespace xp::registry
