// The create-password dialog: the token bound, the two texts compared, the length checked, and the password burned
// into a clean token (or, on a token that has one already, checked against it).
#include "create_password_dlg.h"

#include "diskseal_dlg.h"
#include "diskseal_private.h"
#include "resource.h"
#include "tokenio.h"

using namespace tavik::diskseal;

namespace {

constexpr char kRules[] =
    "Please select a password between 6 and 63 characters in length. You can use any combination of upper and lower "
    "case letters, numbers and symbols including !@$%^&*.\r\n\r\nThis password is programmed in your Tavik. You can "
    "change your password later, with the Selvanor tool.\r\n\r\nDO NOT LOSE OR FORGET YOUR PASSWORD.";

}  // namespace

BEGIN_MESSAGE_MAP(CCreatePasswordDlg, CDialog)
ON_EN_MAXTEXT(IDC_NEW_PASSWORD, &CCreatePasswordDlg::OnPasswordFull)
ON_EN_MAXTEXT(IDC_RETYPE_PASSWORD, &CCreatePasswordDlg::OnPasswordFull)
END_MESSAGE_MAP()

CCreatePasswordDlg::CCreatePasswordDlg(CWnd* parent) : CDialog(IDD_CREATE_PASSWORD, parent) {}

BOOL CCreatePasswordDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(kCaption);
  SetDlgItemText(IDC_PASSWORD_RULES, kRules);
  static_cast<CEdit*>(GetDlgItem(IDC_NEW_PASSWORD))->LimitText(63);
  static_cast<CEdit*>(GetDlgItem(IDC_RETYPE_PASSWORD))->LimitText(63);
  return TRUE;
}

void CCreatePasswordDlg::OnPasswordFull() {
  ShowMessageDlg(this, "Maximum length of Tavik password is 63 characters.", "Quillmarsh Tavik Install");
}

void CCreatePasswordDlg::OnCancel() {
  DisarmRunSetup();
  CDialog::OnCancel();
}

void CCreatePasswordDlg::OnOK() {
  const std::optional<std::string> bound = BoundEsn();
  const bool bound_ok = bound && bound->size() == 8 ? CheckEsnMatch(this) : SaveTokenEsn(this, true);
  if (!bound_ok) return;
  CString password;
  CString retyped;
  GetDlgItemText(IDC_NEW_PASSWORD, password);
  GetDlgItemText(IDC_RETYPE_PASSWORD, retyped);
  if (password != retyped) {
    ShowMessageDlg(this,
                   "The passwords you have entered do not match.\r\nThe passwords must match in order to continue "
                   "\r\nPlease try again.");
    return;
  }
  if (password.GetLength() < 6 || password.GetLength() > 63) {
    ShowMessageDlg(this, "Your password must be 6 to 63 characters in length.");
    return;
  }
  if (CheckPwd("") != 0) {
    if (CheckPwd(password) != 0) {
      ShowMessageDlg(this, "Check password failed.");
      return;
    }
  } else if (BurnPwd(password) != 1) {
    ShowMessageDlg(this, "Failed to burn password.\r\nPlease make sure the Tavik has been properly inserted");
    return;
  }
  EndDialog(IDOK);
  CDisksealDlg main;
  AfxGetApp()->m_pMainWnd = &main;
  main.DoModal();
}
