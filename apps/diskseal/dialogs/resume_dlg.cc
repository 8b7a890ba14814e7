// The resume dialog: "Continue" stays disabled until a choice is made. Either choice opens the main dialog: to
// continue, its engine resumes the install from its recorded state; to give up, it decrypts what the install
// encrypted.
#include "resume_dlg.h"

#include "diskseal_dlg.h"
#include "diskseal_private.h"
#include "resource.h"

using namespace tavik::diskseal;

BEGIN_MESSAGE_MAP(CResumeDlg, CDialog)
ON_BN_CLICKED(IDC_CHOOSE_DECRYPT, &CResumeDlg::OnChooseDecrypt)
ON_BN_CLICKED(IDC_CHOOSE_CONTINUE, &CResumeDlg::OnChooseContinue)
END_MESSAGE_MAP()

CResumeDlg::CResumeDlg(CWnd* parent) : CDialog(IDD_RESUME, parent) {}

BOOL CResumeDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  GetDlgItem(IDOK)->EnableWindow(FALSE);
  return TRUE;
}

void CResumeDlg::OnChooseDecrypt() {
  CheckRadioButton(IDC_CHOOSE_DECRYPT, IDC_CHOOSE_CONTINUE, IDC_CHOOSE_DECRYPT);
  GetDlgItem(IDOK)->EnableWindow(TRUE);
}

void CResumeDlg::OnChooseContinue() {
  CheckRadioButton(IDC_CHOOSE_DECRYPT, IDC_CHOOSE_CONTINUE, IDC_CHOOSE_CONTINUE);
  GetDlgItem(IDOK)->EnableWindow(TRUE);
}

void CResumeDlg::OnOK() {
  const bool decrypt = IsDlgButtonChecked(IDC_CHOOSE_DECRYPT) == BST_CHECKED;
  EndDialog(IDOK);
  CDisksealDlg main(nullptr, decrypt);
  AfxGetApp()->m_pMainWnd = &main;
  main.DoModal();
}
