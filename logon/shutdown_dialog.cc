// Shutdown Windows (500): log off, reboot, shut down or power off, preselected from the user's last choice.
#include "logongate_private.h"
#include "resource.h"

namespace tavik::logongate {
namespace {

constexpr char16_t kShutdownKey[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Shutdown";
constexpr DWORD kSettingLogOff = 0;
constexpr DWORD kSettingReboot = 2;
constexpr DWORD kSettingPowerOff = 3;

// The logged-on user's "Shutdown Setting", read as that user; 0 when it cannot be read.
DWORD ShutdownSetting(const LogonState& state) {
  const bool user = state.user_token != kNoToken;
  if (user) ImpersonateLoggedOnUser(state.user_token);
  DWORD setting = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kShutdownKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    DWORD size = sizeof setting;
    DWORD type = 0;
    if (RegQueryValueExW(key, u"Shutdown Setting", nullptr, &type, reinterpret_cast<BYTE*>(&setting), &size) !=
        ERROR_SUCCESS) {
      setting = 0;
    }
    RegCloseKey(key);
  }
  if (user) RevertToSelf();
  return setting;
}

INT_PTR ShutdownProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    const auto& state = *reinterpret_cast<const LogonState*>(lparam);
    const bool power_down = GetProfileIntW(u"Winlogon", u"PowerDownAfterShutdown", 0) != 0;
    const bool user = state.user_token != kNoToken;
    const DWORD setting = ShutdownSetting(state);
    if (!power_down) ShowWindow(GetDlgItem(dialog, IDC_POWER_OFF_CHOICE), SW_HIDE);
    if (!user) ShowWindow(GetDlgItem(dialog, IDC_LOG_OFF_CHOICE), SW_HIDE);
    int choice = IDC_SHUTDOWN_CHOICE;
    if (setting == kSettingLogOff) choice = user ? IDC_LOG_OFF_CHOICE : IDC_REBOOT_CHOICE;
    if (setting == kSettingReboot) choice = IDC_REBOOT_CHOICE;
    if (setting == kSettingPowerOff && power_down) choice = IDC_POWER_OFF_CHOICE;
    CheckRadioButton(dialog, IDC_LOG_OFF_CHOICE, IDC_POWER_OFF_CHOICE, choice);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, WLX_SAS_ACTION_NONE);
    return TRUE;
  }
  if (LOWORD(wparam) != IDOK) return FALSE;
  int action = WLX_SAS_ACTION_SHUTDOWN;
  if (IsDlgButtonChecked(dialog, IDC_LOG_OFF_CHOICE)) action = WLX_SAS_ACTION_LOGOFF;
  if (IsDlgButtonChecked(dialog, IDC_REBOOT_CHOICE)) action = WLX_SAS_ACTION_SHUTDOWN_REBOOT;
  if (IsDlgButtonChecked(dialog, IDC_POWER_OFF_CHOICE)) action = WLX_SAS_ACTION_SHUTDOWN_POWER_OFF;
  EndDialog(dialog, action);
  return TRUE;
}

}  // namespace

int ShowShutdownDialog(LogonState* state, HWND owner) {
  return ShowDialog(IDD_SHUTDOWN, ShutdownProc, reinterpret_cast<LPARAM>(state), owner);
}

}  // namespace tavik::logongate
