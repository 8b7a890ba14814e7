// The Phase II dialog: the program's first dialog, which dispatches on the disk-state flag before it is shown and,
// on "Continue", checks the machine and binds the token before the password dialogs take over. It cannot be left
// by the close box or Esc.
#pragma once

#include "afxwin.h"

class CPhaseTwoDlg : public CDialog {
 public:
  CPhaseTwoDlg();

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  afx_msg void OnClose();

 private:
  // What the disk-state flag says this start must do: wait for "Continue", resume, or end the program.
  void DispatchInstallState();
  void RunSystemChecks();
  void SetStatus(const char* text);

  DECLARE_MESSAGE_MAP()
};
