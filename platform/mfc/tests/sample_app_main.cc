// A dialog program as the system's are written: its application object shows the sample dialog from
// InitInstance and returns FALSE; the exit code is ExitInstance's (40 + the dialog's result). With
// XP_SAMPLE_APP_RUN set, InitInstance returns TRUE instead, asking for the message loop that is not implemented.
#include <stdlib.h>

#include "afxwin.h"
#include "sample_dlg.h"

class CSampleApp : public CWinApp {
 public:
  CSampleApp() : CWinApp("Sample App") {}

  BOOL InitInstance() override {
    AfxEnableControlContainer();
    Enable3dControls();
    if (::getenv("XP_SAMPLE_APP_RUN") != nullptr) return TRUE;
    xp::mfc::testing::CSampleDlg dialog;
    m_pMainWnd = &dialog;
    result_ = dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
  }

  int ExitInstance() override { return 40 + static_cast<int>(result_); }

 private:
  INT_PTR result_ = 0;
};

CSampleApp theApp;
