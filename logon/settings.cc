// The settings the component reads (the bound token's ESN, the last user, the edition and the boot) and the one it
// writes ("Last User" and "Last Domain").
#include <vector>

#include "logongate_private.h"

namespace tavik::logongate {
namespace {

constexpr char kFlagKey[] = "SOFTWARE\\Quillmarsh\\morvelFlag";
constexpr char16_t kSettingsKey[] = u"SOFTWARE\\Teradolm\\Gorsewick";
constexpr DWORD kEsnSize = 128;

bool ReadText(HKEY key, const char16_t* name, std::u16string* text) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) return false;
  std::vector<BYTE> data(size + sizeof(WCHAR), 0);
  if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return false;
  *text = reinterpret_cast<const WCHAR*>(data.data());
  return true;
}

void WriteText(HKEY key, const char16_t* name, const std::u16string& text) {
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

}  // namespace

bool ReadRegistryEsn(std::string* esn) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFlagKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  char text[kEsnSize] = {};
  DWORD size = sizeof text - 1;
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExA(key, "ESN", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return false;
  *esn = text;
  return true;
}

bool ReadLastUser(std::u16string* user, std::u16string* domain) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  const bool read = ReadText(key, u"Last User", user) && ReadText(key, u"Last Domain", domain);
  RegCloseKey(key);
  return read;
}

void StoreLastUser(const std::u16string& user, const std::u16string& domain) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    LogEvent(kError, "Cannot store the last user\n");
    return;
  }
  WriteText(key, u"Last User", user);
  WriteText(key, u"Last Domain", domain);
  RegCloseKey(key);
}

bool XpHomeEdition() {
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&version))) return false;
  return version.dwMajorVersion == 5 && version.dwMinorVersion == 1 && (version.wSuiteMask & VER_SUITE_PERSONAL) != 0;
}

std::u16string ComputerName() {
  WCHAR name[MAX_COMPUTERNAME_LENGTH + 2] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? std::u16string(name) : std::u16string();
}

bool SafeMode() {
  const int boot = GetSystemMetrics(SM_CLEANBOOT);
  return boot == 1 || boot == 2;
}

}  // namespace tavik::logongate
