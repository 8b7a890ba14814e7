// The recovery tool's one dialog: an explanation, "Recover My Files" (which keeps the dialog open) and "Exit".
#pragma once

#include <string>

#include "afxwin.h"

class CRecoveryDlg : public CDialog {
 public:
  CRecoveryDlg();

 protected:
  BOOL OnInitDialog() override;
  // "Recover My Files".
  void OnOK() override;
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);

  DECLARE_MESSAGE_MAP()

 private:
  void OnRecoverFiles();
  // One listed file into its copy: the shared routine's code, and the box of a file that does not open.
  int RecoverFile(const std::string& path);

  HICON icon_;
  unsigned char xcfk_[33] = {};
  // Files not recovered, over every click of the dialog's life.
  unsigned int not_recovered_ = 0;
};
