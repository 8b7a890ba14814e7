// The control classes: each call is the control's own message, as MFC sends it.
#include "afxcmn.h"

void CEdit::LimitText(int nChars) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(nChars)); }

void CEdit::SetLimitText(UINT nMax) { SendMessage(EM_SETLIMITTEXT, nMax); }

void CEdit::SetPasswordChar(TCHAR ch) { SendMessage(EM_SETPASSWORDCHAR, static_cast<unsigned char>(ch)); }

TCHAR CEdit::GetPasswordChar() const {
  return static_cast<TCHAR>(::SendMessageA(m_hWnd, EM_GETPASSWORDCHAR, 0, 0));
}

BOOL CEdit::SetReadOnly(BOOL bReadOnly) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, bReadOnly)); }

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL bNoScroll) {
  SendMessage(EM_SETSEL, static_cast<WPARAM>(nStartChar), nEndChar);
  if (!bNoScroll) SendMessage(EM_SCROLLCARET);
}

void CEdit::ReplaceSel(LPCTSTR lpszNewText, BOOL bCanUndo) {
  SendMessage(EM_REPLACESEL, static_cast<WPARAM>(bCanUndo), reinterpret_cast<LPARAM>(lpszNewText));
}

int CButton::GetCheck() const { return static_cast<int>(::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }

void CButton::SetCheck(int nCheck) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck)); }

void CProgressCtrl::SetRange(short nLower, short nUpper) {
  SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper));
}

void CProgressCtrl::SetRange32(int nLower, int nUpper) {
  SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(nLower), nUpper);
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
  PBRANGE range{};
  ::SendMessageA(m_hWnd, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  nLower = range.iLow;
  nUpper = range.iHigh;
}

int CProgressCtrl::SetPos(int nPos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(nPos))); }

int CProgressCtrl::OffsetPos(int nPos) {
  return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(nPos)));
}

int CProgressCtrl::StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }

int CProgressCtrl::GetPos() const { return static_cast<int>(::SendMessageA(m_hWnd, PBM_GETPOS, 0, 0)); }

int CProgressCtrl::SetStep(int nStep) {
  return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(nStep)));
}
