// Manage Accounts (103), from the logon options: deletes one account from the token, or all of them.
#include <cstring>

#include "logongate_private.h"
#include "resource.h"
#include "tokenio.h"

namespace tavik::logongate {
namespace {

constexpr int kPageSize = 512;
constexpr int kFirstPage = 6;

void FillList(HWND dialog) {
  SendDlgItemMessageW(dialog, IDC_ACCOUNT_LIST, LB_RESETCONTENT, 0, 0);
  bool any = false;
  for (const Account* account = TheModule().accounts; account != nullptr; account = account->next) {
    const std::u16string line = account->user + u"@" + account->domain;
    SendDlgItemMessageW(dialog, IDC_ACCOUNT_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    any = true;
  }
  EnableItem(dialog, IDC_DELETE_ACCOUNT, any);
  EnableItem(dialog, IDC_DELETE_ALL, any);
}

// Saves the list at once and says how it went.
void SaveAndReport(HWND dialog) {
  if (SaveMiniAccount(TheModule().accounts)) {
    ShowBox(dialog, "Account Deletion Succeeded.", kCaption, MB_OK);
  } else {
    ShowSaveFailure(dialog);
  }
}

void DeleteSelected(HWND dialog) {
  const LRESULT selected = SendDlgItemMessageW(dialog, IDC_ACCOUNT_LIST, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) {
    ShowBox(dialog, "Please select an account to be deleted from your Tavik.", "Delete Account",
            MB_OK | MB_ICONWARNING);
    return;
  }
  if (ShowMessageDialog(dialog, "Please click OK to confirm account deletion", "Confirm Account Deletion") != 1) {
    return;
  }
  Account* account = TheModule().accounts;
  for (LRESULT i = 0; account != nullptr && i < selected; ++i) account = account->next;
  if (account == nullptr) return;
  RemoveAccount(account);
  FillList(dialog);
  SaveAndReport(dialog);
}

// Every byte a list can take on the token: pages 6 and 7, and the first byte of page 8.
bool EraseTokenAccounts() {
  uint8_t erased[kPageSize];
  std::memset(erased, 0xFF, sizeof erased);
  return WriteUserDataPage(kFirstPage, 0, kPageSize, erased) == 1 &&
         WriteUserDataPage(kFirstPage + 1, 0, kPageSize, erased) == 1 &&
         WriteUserDataPage(kFirstPage + 2, 0, 1, erased) == 1;
}

void DeleteAll(HWND dialog) {
  if (ShowBox(dialog,
              "Are you sure to delete all accounts saved on your Tavik?\r\n\r\nNote: choosing [Yes] will only clean up "
              "your Tavik.\r\nYour user accounts will not be affected.",
              "Delete All Accounts", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  if (!EraseTokenAccounts()) {
    ShowBox(dialog, "Erase account information failure.\r\nPlease relogin and try again.", "Delete All Accounts",
            MB_OK | MB_ICONWARNING);
    return;
  }
  freeAccountList();
  FillList(dialog);
}

INT_PTR ManageProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  static LogonState* state = nullptr;
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<LogonState*>(lparam);
    state->save_required = 0;
    FillList(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wparam)) {
    case IDC_DELETE_ACCOUNT:
      DeleteSelected(dialog);
      return TRUE;
    case IDC_DELETE_ALL:
      DeleteAll(dialog);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, 1);
      return TRUE;
    case IDOK:  // "Save Changes", which the template hides
      if (state->save_required) SaveAndReport(dialog);
      freeAccountList();
      EndDialog(dialog, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int ShowManageAccounts(LogonState* state, HWND owner) {
  return ShowDialog(IDD_MANAGE_ACCOUNTS, ManageProc, reinterpret_cast<LPARAM>(state), owner);
}

}  // namespace tavik::logongate
