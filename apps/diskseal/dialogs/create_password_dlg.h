// The create-password dialog for a clean token: the new password typed twice, burned into the token, then the main
// dialog takes over.
#pragma once

#include "afxwin.h"

class CCreatePasswordDlg : public CDialog {
 public:
  explicit CCreatePasswordDlg(CWnd* parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  afx_msg void OnPasswordFull();

  DECLARE_MESSAGE_MAP()
};
