// The flag key HKLM "SOFTWARE\Quillmarsh\morvelFlag": made by the installer with "Decrypted" = "4" (installed, not
// yet encrypted) and "ISLink", the uninstall command, as a bare program path; removed by that command.
#include <strings.h>

#include <cstring>
#include <vector>

#include "disk_state.h"
#include "installer_private.h"

namespace xp::installer {
namespace {

using tavik::kDecryptedValue;
using tavik::kFlagKey;
namespace decrypted_flag = tavik::decrypted_flag;
constexpr char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::optional<std::string> MachineString(const char* key_name, const char* value_name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_name, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  std::optional<std::string> text;
  if (RegQueryValueExA(key, value_name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key, value_name, nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size) ==
        ERROR_SUCCESS) {
      text = data.data();
    }
  }
  RegCloseKey(key);
  return text;
}

bool SetString(HKEY key, const char* name, const char* text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

}  // namespace

std::optional<std::string> DecryptedFlag() { return MachineString(kFlagKey, kDecryptedValue); }

bool DiskMayHoldEncryptedFiles() {
  const std::optional<std::string> flag = DecryptedFlag();
  return flag == decrypted_flag::kEncrypted || flag == decrypted_flag::kEncrypting ||
         flag == decrypted_flag::kDecrypting || flag == decrypted_flag::kUndoingInstall;
}

bool LogonComponentInstalled() {
  const std::optional<std::string> gina = MachineString(kWinlogonKey, "GinaDLL");
  return gina && ::strcasecmp(gina->c_str(), "logongate.dll") == 0;
}

bool CreateFlagKey() {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kFlagKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool written = SetString(key, kDecryptedValue, decrypted_flag::kInstalled) && SetString(key, "ISLink", kUninstallCommand);
  RegCloseKey(key);
  return written;
}

bool DeleteFlagKey() {
  const LSTATUS deleted = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kFlagKey);
  if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) return false;
  // The maker's key goes too when nothing else of the maker is left under it.
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh");
  return true;
}

}  // namespace xp::installer
