// Choosing the Windows account to log on with after a good token password: Select Account (104) lists the
// accounts on the token and "New_Account", Add Account (600) takes a new one; and the token's password asked
// for (112) when user data is touched before the password was accepted.
#include "logongate_private.h"
#include "resource.h"
#include "tokenapi.h"

namespace tavik::logongate {
namespace {

constexpr char16_t kNewAccount[] = u"New_Account";
constexpr int kTextCapacity = 260;
constexpr DWORD kDefaultUserNameSize = 100;
constexpr DWORD kDefaultDomainNameSize = 256;
constexpr int kPinCapacity = 63;

std::u16string Line(const Account& account) { return account.user + u"@" + account.domain; }

// A Winlogon default of at most `size` bytes; false when it cannot be read into that much.
bool WinlogonDefault(const char16_t* name, DWORD size, std::u16string* text) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", 0,
                    KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  std::u16string buffer(size / sizeof(WCHAR) + 1, u'\0');
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return false;
  *text = buffer.c_str();
  return true;
}

INT_PTR AddAccountProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  static LogonState* state = nullptr;
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<LogonState*>(lparam);
    std::u16string user, domain;
    if (!TheModule().installed || !WinlogonDefault(u"DefaultUserName", kDefaultUserNameSize, &user) ||
        !WinlogonDefault(u"DefaultDomainName", kDefaultDomainNameSize, &domain)) {
      return TRUE;
    }
    SetItemText(dialog, IDC_USER_NAME, user);
    SendDlgItemMessageW(dialog, IDC_USER_NAME, EM_SETSEL, 0, -1);
    SetFocus(GetDlgItem(dialog, IDC_USER_NAME));
    if (XpHomeEdition()) {
      SetItemText(dialog, IDC_DOMAIN, ComputerName());
      EnableItem(dialog, IDC_DOMAIN, false);
    } else {
      SetItemText(dialog, IDC_DOMAIN, domain);
    }
    return FALSE;  // the focus is set
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, 2);
    return TRUE;
  }
  if (LOWORD(wparam) != IDOK) return FALSE;
  const std::u16string user = ItemText(dialog, IDC_USER_NAME, kTextCapacity);
  const std::u16string domain = ItemText(dialog, IDC_DOMAIN, kTextCapacity);
  const std::u16string password = ItemText(dialog, IDC_ACCOUNT_PASSWORD, kTextCapacity);
  Module& module = TheModule();
  for (Account* account = module.accounts; account != nullptr; account = account->next) {
    if (!SameIgnoringCase(account->user, user) || !SameIgnoringCase(account->domain, domain)) continue;
    // Windows passwords are case-sensitive: any difference is a new password.
    if (account->password != password) {
      account->password = password;
      state->save_required = 1;
    }
    state->current = account;
    EndDialog(dialog, 1);
    return TRUE;
  }
  module.accounts = new Account{module.accounts, user, domain, password, u"", kSaveAfterLogon};
  state->current = module.accounts;
  EndDialog(dialog, 1);
  return TRUE;
}

INT_PTR SelectAccountProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  static LogonState* state = nullptr;
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<LogonState*>(lparam);
    std::u16string last_user, last_domain;
    const bool known = ReadLastUser(&last_user, &last_domain);
    int index = 0;
    int preselect = -1;
    for (const Account* account = TheModule().accounts; account != nullptr; account = account->next, ++index) {
      SendDlgItemMessageW(dialog, IDC_ACCOUNT_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Line(*account).c_str()));
      if (preselect < 0 && known && SameIgnoringCase(account->user, last_user) &&
          SameIgnoringCase(account->domain, last_domain)) {
        preselect = index;
      }
    }
    SendDlgItemMessageW(dialog, IDC_ACCOUNT_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kNewAccount));
    if (!known) preselect = 0;
    if (preselect < 0) preselect = index;
    SendDlgItemMessageW(dialog, IDC_ACCOUNT_COMBO, CB_SETCURSEL, preselect, 0);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, 2);
    return TRUE;
  }
  if (LOWORD(wparam) != IDOK) return FALSE;
  const LRESULT selected = SendDlgItemMessageW(dialog, IDC_ACCOUNT_COMBO, CB_GETCURSEL, 0, 0);
  if (selected == CB_ERR) return TRUE;
  Account* account = TheModule().accounts;
  for (LRESULT i = 0; account != nullptr && i < selected; ++i) account = account->next;
  if (account != nullptr) {
    state->current = account;
    EndDialog(dialog, 1);
    return TRUE;
  }
  ShowWindow(dialog, SW_HIDE);
  EndDialog(dialog, ShowDialog(IDD_ADD_ACCOUNT, AddAccountProc, reinterpret_cast<LPARAM>(state), dialog));
  return TRUE;
}

INT_PTR TokenPasswordProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) {
    SendDlgItemMessageW(dialog, IDC_TOKEN_PASSWORD, EM_LIMITTEXT, kPinCapacity, 0);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wparam) == IDC_TOKEN_PASSWORD_CANCEL) {
    EndDialog(dialog, 2);
    return TRUE;
  }
  if (LOWORD(wparam) != IDC_TOKEN_PASSWORD_OK) return FALSE;
  std::string pin = Narrow(ItemText(dialog, IDC_TOKEN_PASSWORD, kPinCapacity));
  if (NuboPing() == 0) {
    ShowMessageDialog(dialog, kNotInserted);
    EndDialog(dialog, 2);
    return TRUE;
  }
  switch (NuboCheckPin(pin.data(), static_cast<int>(pin.size()))) {
    case 0:
      EndDialog(dialog, 1);
      break;
    case 1:
      ShowMessageDialog(dialog, kInvalidPassword);
      EndDialog(dialog, 2);
      break;
    case 2:
      ShowMessageDialog(dialog, kExceededAttempts);
      break;
    default:
      break;
  }
  return TRUE;
}

}  // namespace

int ShowSelectAccount(LogonState* state, HWND owner) {
  return ShowDialog(IDD_SELECT_ACCOUNT, SelectAccountProc, reinterpret_cast<LPARAM>(state), owner);
}

void ShowTokenPassword(HWND owner) { ShowDialog(IDD_TOKEN_PASSWORD, TokenPasswordProc, 0, owner); }

}  // namespace tavik::logongate
