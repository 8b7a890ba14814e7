// The About box and its system-menu item.
#include "afxabout.h"

CAboutDlg::CAboutDlg(const AboutBox& box, CWnd* pParentWnd) : CDialog(box.dialog_id, pParentWnd), box_(box) {}

BOOL CAboutDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (box_.caption != nullptr) SetWindowText(box_.caption);
  if (box_.text != nullptr) SetDlgItemText(box_.text_id, box_.text);
  return TRUE;
}

void AddAboutItem(CWnd& dialog, const AboutBox& box) {
  CString text;
  if (!text.LoadString(box.menu_text_id)) return;
  const HMENU menu = ::GetSystemMenu(dialog.m_hWnd, FALSE);
  if (menu == nullptr) return;
  ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuA(menu, MF_STRING, box.command, text);
}

bool ShowAboutBox(CWnd& dialog, const AboutBox& box, UINT nID) {
  if ((nID & 0xFFF0u) != box.command) return false;
  CAboutDlg about(box, &dialog);
  about.DoModal();
  return true;
}
