// The full-screen backdrop behind the uninstaller, whose initialisation tells its two starts apart and runs the
// one under way.
#pragma once

#include "afxwin.h"

namespace tavik::diskunseal {

class CBackdropDlg : public CDialog {
 public:
  CBackdropDlg();

 protected:
  BOOL OnInitDialog() override { return RunUninstallPhase(); }
  afx_msg void OnPaint();

  DECLARE_MESSAGE_MAP()

 private:
  BOOL RunUninstallPhase();
};

}  // namespace tavik::diskunseal
