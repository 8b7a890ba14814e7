// The sample dialog classes' templates, message maps and handlers.
#include "sample_dlg.h"

#include "winres.h"

namespace xp::mfc::testing {
namespace {

using namespace xp::res;

const std::vector<ControlTemplate> kControls = {
    LText("Password:", -1),
    EditText(kPassword, ES_PASSWORD | ES_AUTOHSCROLL),
    LText("Confirm:", -1),
    EditText(kConfirm, ES_PASSWORD | ES_AUTOHSCROLL),
    AutoCheckBox("Remember", kRemember),
    Progress(kProgress),
    PushButton("Start", kStart),
    DefPushButton("OK", IDOK),
    PushButton("Cancel", IDCANCEL),
};

const DialogResources kDialogs = {
    {static_cast<int>(kSampleDialog), "Sample", kControls},
    {static_cast<int>(kCloseProofDialog), "Close-proof", kControls},
};

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

BEGIN_MESSAGE_MAP(CSampleDlg, CDialog)
  ON_BN_CLICKED(kStart, &CSampleDlg::OnStart)
  ON_EN_MAXTEXT(kPassword, &CSampleDlg::OnPasswordFull)
END_MESSAGE_MAP()

BOOL CSampleDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  static_cast<CEdit*>(GetDlgItem(kPassword))->LimitText(8);
  static_cast<CEdit*>(GetDlgItem(kConfirm))->LimitText(8);
  return TRUE;
}

void CSampleDlg::OnOK() {
  handled.push_back("OnOK");
  CString confirm;
  GetDlgItemText(kPassword, m_password);
  GetDlgItemText(kConfirm, confirm);
  if (m_password != confirm) {
    AfxMessageBox("The passwords you have entered do not match.", MB_ICONERROR);
    return;
  }
  if (m_password.GetLength() < 6) {
    CString message;
    message.Format("Your password must be %d to %d characters in length.", 6, 8);
    AfxMessageBox(message, MB_ICONERROR);
    return;
  }
  m_remember = static_cast<CButton*>(GetDlgItem(kRemember))->GetCheck() == BST_CHECKED;
  CDialog::OnOK();
}

void CSampleDlg::OnCancel() {
  handled.push_back("OnCancel");
  if (busy_) {
    cancelled = true;
    return;
  }
  CDialog::OnCancel();
}

void CSampleDlg::OnStart() {
  handled.push_back("OnStart");
  busy_ = true;
  GetDlgItem(kStart)->EnableWindow(FALSE);
  CProgressCtrl* progress = static_cast<CProgressCtrl*>(GetDlgItem(kProgress));
  progress->SetRange(0, 5);
  progress->SetStep(1);
  for (int file = 0; file < 5 && !cancelled; ++file) {
    progress->StepIt();
    ++files_done;
    PumpMessages();
  }
  busy_ = false;
}

void CSampleDlg::OnPasswordFull() {
  handled.push_back("OnPasswordFull");
  AfxMessageBox("Maximum length of the password is 8 characters.");
}

BEGIN_MESSAGE_MAP(CCloseProofDlg, CSampleDlg)
  ON_WM_CLOSE()
  ON_BN_CLICKED(kStart, &CCloseProofDlg::OnStart)
END_MESSAGE_MAP()

void CCloseProofDlg::OnClose() { handled.push_back("OnClose"); }

void CCloseProofDlg::OnStart() { handled.push_back("CCloseProofDlg::OnStart"); }

}  // namespace xp::mfc::testing
