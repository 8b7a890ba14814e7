// The one-button message dialog through which the setup programs show most of their messages: a caption, a text
// and a button label, each cut to what the program's style keeps.
#pragma once

#include <string>

#include "afxwin.h"
#include "conversion.h"

namespace tavik::conversion {

class CMessageDlg : public CDialog {
 public:
  CMessageDlg(const MessageDlgStyle& style, CWnd* parent, const std::string& text, const std::string& caption,
              const std::string& button);

 protected:
  BOOL OnInitDialog() override;

 private:
  int text_control_;
  std::string text_;
  std::string caption_;
  std::string button_;
};

}  // namespace tavik::conversion
