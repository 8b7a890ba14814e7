// The application object: the recovery dialog, run modally; then the program ends. No arguments, no mutex and no
// administrator check: a user may start it by hand at any time, and it only ever writes copies. It does not start
// while the filter driver's service runs.
#include "afxwin.h"
#include "conversion.h"
#include "recovery_dlg.h"

namespace {

constexpr char kDriverRuns[] =
    "Quillmarsh Tavik kernel is still active, files can not be recovered.\r\nPlease complete the uninstallation of "
    "Quillmarsh Tavik, then run the File Recovery Tool again.";

class CRecoverKitApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};

CRecoverKitApp theApp;

BOOL CRecoverKitApp::InitInstance() {
  if (tavik::conversion::DriverServiceMayRun()) {
    MessageBoxA(nullptr, kDriverRuns, "File Recovery Tool", MB_OK | MB_ICONEXCLAMATION);
    ExitProcess(1);
  }
  CRecoveryDlg dialog;
  m_pMainWnd = &dialog;
  dialog.DoModal();
  return FALSE;
}

}  // namespace
