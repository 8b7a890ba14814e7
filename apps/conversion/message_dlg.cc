// The message dialog, the boxes shown through the system, and the message pump between files.
#include "message_dlg.h"

namespace tavik::conversion {

CMessageDlg::CMessageDlg(const MessageDlgStyle& style, CWnd* parent, const std::string& text,
                         const std::string& caption, const std::string& button)
    : CDialog(style.dialog, parent),
      text_control_(style.text_control),
      text_(text.substr(0, style.text_limit)),
      caption_(caption.substr(0, style.caption_limit)),
      button_(button.substr(0, style.button_limit)) {}

BOOL CMessageDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(caption_.c_str());
  SetDlgItemText(text_control_, text_.c_str());
  GetDlgItem(IDOK)->SetWindowText(button_.c_str());
  return TRUE;
}

void ShowMessageDlg(const MessageDlgStyle& style, CWnd* parent, const std::string& text,
                    const std::string& caption, const std::string& button) {
  CMessageDlg dialog(style, parent, text, caption, button.empty() ? "OK" : button);
  dialog.DoModal();
}

int Box(CWnd* owner, const std::string& text, const std::string& caption, UINT type) {
  return MessageBoxA(owner != nullptr ? owner->GetSafeHwnd() : nullptr, text.c_str(), caption.c_str(), type);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace tavik::conversion
