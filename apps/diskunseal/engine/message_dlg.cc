// diskunseal's message dialog: its own resource and limits over the shared dialog.
#include "message_dlg.h"

#include "decryptor_run.h"

namespace tavik::diskunseal {

void ShowMessageDlg(CWnd* parent, const std::string& text, const std::string& caption, const std::string& button) {
  conversion::ShowMessageDlg(kMessageStyle, parent, text, caption, button);
}

}  // namespace tavik::diskunseal
