// diskseal's message dialog: IDD 135, its text in static 1005; it keeps 79 characters of caption, 299 of text and
// 19 of button label.
#include "diskseal_private.h"
#include "resource.h"

namespace tavik::diskseal {
namespace {

constexpr conversion::MessageDlgStyle kMessageStyle = {IDD_MESSAGE, IDC_MESSAGE_TEXT, 79, 299, 19};

}  // namespace

void ShowMessageDlg(CWnd* parent, const std::string& text, const std::string& caption, const std::string& button) {
  conversion::ShowMessageDlg(kMessageStyle, parent, text, caption, button);
}

}  // namespace tavik::diskseal
