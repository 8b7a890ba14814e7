// CDialog: DoModal runs user32's modal dialog with the framework's dialog procedure, which attaches the object to
// its window, calls OnInitDialog and sends every other message through the message map.
#include "mfc_private.h"

namespace {

INT_PTR AfxDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    CDialog* object = reinterpret_cast<CDialog*>(lparam);
    object->Attach(dialog);
    return object->OnInitDialog();
  }
  CWnd* object = xp::mfc::PermanentObject(dialog);
  return object != nullptr ? object->OnWndMsg(message, wparam, lparam) : FALSE;
}

}  // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, &CDialog::OnOK)
  ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
  const HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
  const INT_PTR result = DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDHelp), owner, &AfxDlgProc,
                                         reinterpret_cast<LPARAM>(this));
  Detach();
  xp::mfc::ForgetDeadWindows();
  return result;
}

BOOL CDialog::OnInitDialog() { return TRUE; }

void CDialog::EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

void CDialog::GotoDlgCtrl(CWnd* control) {
  if (control != nullptr) ::SetFocus(control->m_hWnd);
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }
