// Logon Options (400), shown by Ctrl+Alt+Del while a user is logged on: lock, task list, log off, shut down,
// change the password, manage the accounts on the token.
#include "logongate_private.h"
#include "resource.h"

namespace tavik::logongate {
namespace {

INT_PTR OptionsProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  static LogonState* state = nullptr;
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<LogonState*>(lparam);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wparam)) {
    case IDC_LOCK:
      EndDialog(dialog, WLX_SAS_ACTION_LOCK_WKSTA);
      return TRUE;
    case IDC_TASK_MANAGER:
      EndDialog(dialog, WLX_SAS_ACTION_TASKLIST);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, WLX_SAS_ACTION_NONE);
      return TRUE;
    case IDC_LOG_OFF:
      if (ShowMessageDialog(dialog, "Do you want to logoff?", "Confirm Logoff") == 1) {
        freeAccountList();
        EndDialog(dialog, WLX_SAS_ACTION_LOGOFF);
      } else {
        EndDialog(dialog, WLX_SAS_ACTION_NONE);
      }
      return TRUE;
    case IDC_SHUT_DOWN: {
      const int result = ShowShutdownDialog(state, dialog);
      if (result != WLX_SAS_ACTION_NONE) EndDialog(dialog, result);
      return TRUE;
    }
    case IDC_CHANGE_PASSWORD:
      ShowChangePassword(state, dialog);
      return TRUE;
    case IDC_MANAGE_ACCOUNTS:
      ShowManageAccounts(state, dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int ShowOptions(LogonState* state) { return ShowDialog(IDD_OPTIONS, OptionsProc, reinterpret_cast<LPARAM>(state)); }

}  // namespace tavik::logongate
