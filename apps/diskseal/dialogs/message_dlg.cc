// The message dialog, and the boxes diskseal shows through the system.
#include "message_dlg.h"

#include "diskseal_private.h"
#include "resource.h"

namespace {

constexpr size_t kCaptionLimit = 79;
constexpr size_t kTextLimit = 299;
constexpr size_t kButtonLimit = 19;

}  // namespace

CMessageDlg::CMessageDlg(CWnd* parent, const std::string& text, const std::string& caption, const std::string& button)
    : CDialog(IDD_MESSAGE, parent),
      text_(text.substr(0, kTextLimit)),
      caption_(caption.substr(0, kCaptionLimit)),
      button_(button.substr(0, kButtonLimit)) {}

BOOL CMessageDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(caption_.c_str());
  SetDlgItemText(IDC_MESSAGE_TEXT, text_.c_str());
  GetDlgItem(IDOK)->SetWindowText(button_.c_str());
  return TRUE;
}

namespace tavik::diskseal {

void ShowMessageDlg(CWnd* parent, const std::string& text, const std::string& caption, const std::string& button) {
  CMessageDlg dialog(parent, text, caption, button);
  dialog.DoModal();
}

int Box(CWnd* owner, const std::string& text, const std::string& caption, UINT type) {
  return MessageBoxA(owner != nullptr ? owner->GetSafeHwnd() : nullptr, text.c_str(), caption.c_str(), type);
}

}  // namespace tavik::diskseal
