// Change Password (800): the Windows password of an account kept on the token changes on both sides or on
// neither: changed through netapi32.dll, then saved with the account on the token; when the token cannot take it,
// the Windows password is changed back. Opened from the logon options, and at a logon that Windows refuses until
// the password is changed.
#include "lm.h"
#include "logongate_private.h"
#include "resource.h"

namespace tavik::logongate {
namespace {

constexpr int kTextCapacity = 260;
constexpr char kTitle[] = "Change Password";

using ChangePasswordCall = NET_API_STATUS (*)(LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR);

// NetUserChangePassword, bound from netapi32.dll at its first use; nullptr when the system has none.
ChangePasswordCall ChangeCall() {
  static ChangePasswordCall call = [] {
    const HMODULE netapi = LoadLibraryA("netapi32.dll");
    return netapi != nullptr ? reinterpret_cast<ChangePasswordCall>(
                                   reinterpret_cast<void*>(GetProcAddress(netapi, "NetUserChangePassword")))
                             : nullptr;
  }();
  return call;
}

const char* ErrorText(NET_API_STATUS status) {
  switch (status) {
    case ERROR_INVALID_PASSWORD: return "Your old password is invalid.";
    case ERROR_ACCESS_DENIED: return "Access denied.";
    case NERR_InvalidComputer: return "Computer name is invalid.";
    case NERR_NotPrimary: return "The operation is allowed only on the primary domain controller\r\nof the domain.";
    case NERR_UserNotFound: return "The user name can not be found.";
    case NERR_PasswordTooShort:
      return "Change password failed.\r\nPassword could be too short, be too long, too recent in its change "
             "history,\r\nnot have enough unique characters, or not meet another password policy requirement.";
    default: return nullptr;
  }
}

// True when Windows took the new password; a refusal is told (a missing call or an empty field silently).
bool ChangeWindowsPassword(HWND dialog, const std::u16string& domain, const std::u16string& user,
                           const std::u16string& old_password, const std::u16string& new_password) {
  const ChangePasswordCall change = ChangeCall();
  if (change == nullptr || domain.empty() || user.empty() || old_password.empty() || new_password.empty()) {
    return false;
  }
  const NET_API_STATUS status = change(domain.c_str(), user.c_str(), old_password.c_str(), new_password.c_str());
  if (status == NERR_Success) return true;
  if (const char* text = ErrorText(status)) {
    ShowBox(dialog, text, kTitle, MB_OK | MB_ICONERROR);
  } else {
    ShowBox(dialog, "Change password operation failed. Error code: " + std::to_string(status), kCaption,
            MB_OK | MB_ICONERROR);
  }
  return false;
}

void ClearPasswords(HWND dialog) {
  for (const int id : {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD}) SetItemText(dialog, id, u"");
}

// 1 when the password changed on both sides, 0 when it stays as it was, -1 to stay in the dialog.
int Change(HWND dialog, LogonState& state) {
  std::u16string user = ItemText(dialog, IDC_USER_NAME, kTextCapacity);
  const std::u16string domain = ItemText(dialog, IDC_DOMAIN, kTextCapacity);
  const std::u16string old_password = ItemText(dialog, IDC_OLD_PASSWORD, kTextCapacity);
  const std::u16string new_password = ItemText(dialog, IDC_NEW_PASSWORD, kTextCapacity);
  const std::u16string confirmation = ItemText(dialog, IDC_CONFIRM_PASSWORD, kTextCapacity);
  // Passwords are case-sensitive: a confirmation that differs only in case is another password.
  if (new_password != confirmation) {
    ShowBox(dialog, "Your passwords do not match. \r\nPlease re-enter your new password.", kTitle,
            MB_OK | MB_ICONERROR);
    ClearPasswords(dialog);
    return -1;
  }
  user = AccountNameOf(user);
  if (!ChangeWindowsPassword(dialog, domain, user, old_password, new_password)) {
    ShowBox(dialog, "Password was not changed.", kTitle, MB_OK | MB_ICONERROR);
    ClearPasswords(dialog);
    return -1;
  }
  Account* account = TheModule().accounts;
  while (account != nullptr && !(SameIgnoringCase(account->user, user) && SameIgnoringCase(account->domain, domain))) {
    account = account->next;
  }
  if (account != nullptr) {
    const std::u16string kept = account->password;
    account->password = new_password;
    state.save_required = 1;
    if (SaveMiniAccount(TheModule().accounts)) {
      ShowBox(dialog, "Password Change Successful.\r\nPlease use the new password to log on with this account.",
              kTitle, MB_OK | MB_ICONINFORMATION);
      return 1;
    }
    account->password = kept;
    ShowSaveFailure(dialog);
  }
  LogEvent(kTrace, "TryToChangePassword back\n");
  if (!ChangeWindowsPassword(dialog, domain, user, new_password, old_password)) {
    LogEvent(kError, "The Windows password could not be changed back\n");
    ShowBox(dialog,
            "Your Windows password was changed, but your Tavik could not keep it and it could not be changed "
            "back.\r\nPlease use the new password, and enter it for this account at your next logon.",
            kTitle, MB_OK | MB_ICONWARNING);
  }
  return 0;
}

INT_PTR ChangeProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  static LogonState* state = nullptr;
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<LogonState*>(lparam);
    std::u16string user, domain;
    ReadLastUser(&user, &domain);
    SetItemText(dialog, IDC_USER_NAME, user);
    if (XpHomeEdition()) {
      SetItemText(dialog, IDC_DOMAIN, ComputerName());
      EnableItem(dialog, IDC_DOMAIN, false);
    } else {
      SetItemText(dialog, IDC_DOMAIN, domain);
    }
    SetFocus(GetDlgItem(dialog, IDC_OLD_PASSWORD));
    return FALSE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, 0);
    return TRUE;
  }
  if (LOWORD(wparam) != IDOK) return FALSE;
  const int result = Change(dialog, *state);
  if (result >= 0) EndDialog(dialog, result);
  return TRUE;
}

}  // namespace

int ShowChangePassword(LogonState* state, HWND owner) {
  return ShowDialog(IDD_CHANGE_PASSWORD, ChangeProc, reinterpret_cast<LPARAM>(state), owner);
}

}  // namespace tavik::logongate
