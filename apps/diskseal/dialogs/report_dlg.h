// The report of a give-up that left files encrypted: its log part shown, the files recovered into copies beside
// them on request, the uninstall completed once the user has read it.
#pragma once

#include <string>

#include "afxwin.h"

class CReportDlg : public CDialog {
 public:
  // `xcfk`: the key (33 bytes) the listed files are encrypted under.
  CReportDlg(CWnd* parent, const unsigned char* xcfk);

 protected:
  BOOL OnInitDialog() override;
  afx_msg void OnReadToggled();
  afx_msg void OnRecoverFiles();
  afx_msg void OnComplete();

 private:
  void LoadReport();

  unsigned char key_[33] = {};
  unsigned int not_recovered_ = 0;

  DECLARE_MESSAGE_MAP()
};
