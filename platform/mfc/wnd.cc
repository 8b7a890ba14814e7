// CWnd: a window's text, state, focus and messages, and its dialog's controls by ID, over user32's calls.
#include <string>

#include "mfc_private.h"
#include "xp/dialogs.h"

CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }

int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }

void CWnd::SetWindowText(LPCTSTR text) { ::SetWindowTextA(m_hWnd, text); }

int CWnd::GetWindowText(LPTSTR text, int max_count) const { return ::GetWindowTextA(m_hWnd, text, max_count); }

void CWnd::GetWindowText(CString& text) const {
  const int length = ::GetWindowTextLengthA(m_hWnd);
  std::string buffer(static_cast<size_t>(length) + 1, '\0');
  const int copied = ::GetWindowTextA(m_hWnd, buffer.data(), length + 1);
  text = CString(buffer.data(), copied);
}

int CWnd::GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }

void CWnd::SetDlgItemText(int id, LPCTSTR text) { ::SetDlgItemTextA(m_hWnd, id, text); }

int CWnd::GetDlgItemText(int id, LPTSTR text, int max_count) const {
  return static_cast<int>(::GetDlgItemTextA(m_hWnd, id, text, max_count));
}

int CWnd::GetDlgItemText(int id, CString& text) const {
  const CWnd* control = GetDlgItem(id);
  if (control == nullptr) {
    text.Empty();
    return 0;
  }
  control->GetWindowText(text);
  return text.GetLength();
}

void CWnd::CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }

UINT CWnd::IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }

void CWnd::CheckRadioButton(int first_id, int last_id, int check_id) {
  ::CheckRadioButton(m_hWnd, first_id, last_id, check_id);
}

BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }

BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }

BOOL CWnd::ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }

BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }

CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }

CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::SendMessageA(m_hWnd, message, wparam, lparam);
}

LRESULT CWnd::SendDlgItemMessage(int id, UINT message, WPARAM wparam, LPARAM lparam) {
  return ::SendDlgItemMessageA(m_hWnd, id, message, wparam, lparam);
}

int CWnd::MessageBox(LPCTSTR text, LPCTSTR caption, UINT type) {
  return ::MessageBoxA(m_hWnd, text, caption != nullptr ? caption : AfxGetAppName(), type);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
  return reinterpret_cast<HICON>(
      SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

void CWnd::OnSysCommand(UINT nID, LPARAM lParam) {
  xp::user32::DefaultDialogMessage(m_hWnd, WM_SYSCOMMAND, nID, lParam);
}

void CWnd::GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }

void CWnd::GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
  ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint) {
  MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, bRepaint);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
  RECT over = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (pAlternateOwner != nullptr) pAlternateOwner->GetWindowRect(&over);
  RECT frame = {};
  if (!::GetWindowRect(m_hWnd, &frame)) return;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  // The middle of the window on the middle of what it is centred over, as the framework computes it.
  const int x = (over.left + over.right) / 2 - width / 2;
  const int y = (over.top + over.bottom) / 2 - height / 2;
  ::MoveWindow(m_hWnd, x, y, width, height, FALSE);
}

void CWnd::Invalidate(BOOL bErase) { ::InvalidateRect(m_hWnd, nullptr, bErase); }

void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }

void CWnd::OnPaint() { xp::user32::DefaultDialogMessage(m_hWnd, WM_PAINT, 0, 0); }

void CWnd::OnClose() { xp::user32::DefaultDialogMessage(m_hWnd, WM_CLOSE, 0, 0); }
