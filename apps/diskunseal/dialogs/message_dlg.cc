// diskunseal's message dialog: its own resource and limits over the shared dialog.
#include "diskunseal_private.h"
#include "resource.h"

namespace tavik::diskunseal {

void ShowMessageDlg(CWnd* parent, const std::string& text, const std::string& caption, const std::string& button) {
  static constexpr conversion::MessageDlgStyle kStyle = {IDD_MESSAGE, IDC_MESSAGE_TEXT, 79, 299, 49};
  conversion::ShowMessageDlg(kStyle, parent, text, caption, button);
}

}  // namespace tavik::diskunseal
