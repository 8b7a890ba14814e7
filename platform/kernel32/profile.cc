// win.ini through the profile calls. On XP the section "Winlogon" is mapped onto the registry, where the setup
// programs write it (HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon"); every other section is read from
// C:\WINDOWS\win.ini on the machine's disk, as a person or a program left it there.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "kernel32_private.h"
#include "xp/debug.h"
#include "xp/registry.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

constexpr char kWinIni[] = "C:\\WINDOWS\\win.ini";
constexpr char16_t kWinlogonKey[] =
    u"\\Registry\\Machine\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::optional<std::u16string> RegistryValue(const std::u16string& name) {
  registry::KeyId key = 0;
  if (registry::OpenPath(kWinlogonKey, &key) != ERROR_SUCCESS) return std::nullopt;
  registry::Value value;
  if (registry::QueryValue(key, name, &value) != ERROR_SUCCESS || !registry::IsStringType(value.type)) {
    return std::nullopt;
  }
  return registry::StoredText(value);
}

std::string FileText() {
  const HANDLE file = CreateFileA(kWinIni, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  CloseHandle(file);
  return text;
}

std::optional<std::string> FileValue(const std::string& section, const std::string& key) {
  const std::string text = FileText();
  bool inside = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      inside = Lower(Trim(line.substr(1, line.size() - 2))) == Lower(section);
      continue;
    }
    const size_t equals = line.find('=');
    if (inside && equals != std::string::npos && Lower(Trim(line.substr(0, equals))) == Lower(key)) {
      return Trim(line.substr(equals + 1));
    }
  }
  return std::nullopt;
}

bool IsWinlogon(const std::string& section) { return Lower(section) == "winlogon"; }

// The value as UTF-16, or nullopt when it is missing.
std::optional<std::u16string> ProfileValue(const std::string& section, const std::string& key) {
  if (IsWinlogon(section)) return RegistryValue(registry::AnsiToUtf16(key));
  const std::optional<std::string> value = FileValue(section, key);
  if (!value) return std::nullopt;
  return registry::AnsiToUtf16(*value);
}

UINT LeadingNumber(const std::optional<std::u16string>& value, INT default_value) {
  if (!value || value->empty() || (*value)[0] < u'0' || (*value)[0] > u'9') return static_cast<UINT>(default_value);
  UINT number = 0;
  for (const char16_t c : *value) {
    if (c < u'0' || c > u'9') break;
    number = number * 10 + static_cast<UINT>(c - u'0');
  }
  return number;
}

std::u16string Wide(LPCWSTR text) { return text != nullptr ? std::u16string(text) : std::u16string(); }
std::string Narrow(LPCWSTR text) { return registry::Utf16ToAnsi(Wide(text)); }

}  // namespace
}  // namespace xp::kernel32

using namespace xp::kernel32;

// Exported by kernel32.
extern "C" DWORD GetProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR default_value, LPWSTR buffer, DWORD size) {
  if (section == nullptr || key == nullptr) {
    XP_FIXME("GetProfileStringW", "listing sections and keys is not implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  if (buffer == nullptr || size == 0) return 0;
  const std::u16string value = ProfileValue(Narrow(section), Narrow(key)).value_or(Wide(default_value));
  const size_t copied = std::min<size_t>(value.size(), size - 1);
  std::memcpy(buffer, value.data(), copied * sizeof(WCHAR));
  buffer[copied] = u'\0';
  return static_cast<DWORD>(copied);
}

// Exported by kernel32.
extern "C" DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR buffer, DWORD size) {
  if (section == nullptr || key == nullptr) {
    XP_FIXME("GetProfileStringA", "listing sections and keys is not implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  if (buffer == nullptr || size == 0) return 0;
  const std::optional<std::u16string> value = ProfileValue(section, key);
  const std::string text = value ? xp::registry::Utf16ToAnsi(*value) : std::string(default_value ? default_value : "");
  const size_t copied = std::min<size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), copied);
  buffer[copied] = '\0';
  return static_cast<DWORD>(copied);
}

// Exported by kernel32.
extern "C" UINT GetProfileIntW(LPCWSTR section, LPCWSTR key, INT default_value) {
  if (section == nullptr || key == nullptr) return static_cast<UINT>(default_value);
  return LeadingNumber(ProfileValue(Narrow(section), Narrow(key)), default_value);
}

// Exported by kernel32.
extern "C" UINT GetProfileIntA(LPCSTR section, LPCSTR key, INT default_value) {
  if (section == nullptr || key == nullptr) return static_cast<UINT>(default_value);
  return LeadingNumber(ProfileValue(section, key), default_value);
}
