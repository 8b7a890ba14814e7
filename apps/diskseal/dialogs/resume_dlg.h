// The resume dialog of an install that stopped after its encryption began: continue the install, or give it up.
// Giving it up needs the decryption of an incomplete install, which this version does not have: the choice says
// so and the dialog stays open.
#pragma once

#include "afxwin.h"

class CResumeDlg : public CDialog {
 public:
  explicit CResumeDlg(CWnd* parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  afx_msg void OnChooseDecrypt();
  afx_msg void OnChooseContinue();

  DECLARE_MESSAGE_MAP()
};
