// The one-button message dialog through which most of diskseal's messages are shown: a caption of at most 79
// characters, a text of at most 299 and a button label of at most 19; longer ones are cut.
#pragma once

#include <string>

#include "afxwin.h"

class CMessageDlg : public CDialog {
 public:
  CMessageDlg(CWnd* parent, const std::string& text, const std::string& caption, const std::string& button);

 protected:
  BOOL OnInitDialog() override;

 private:
  std::string text_;
  std::string caption_;
  std::string button_;
};
