// The application object: the recovery dialog, run modally; then the program ends. No arguments, no mutex and no
// administrator check: a user may start it by hand at any time, and it only ever writes copies.
#include "afxwin.h"
#include "recovery_dlg.h"

namespace {

class CRecoverKitApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};

CRecoverKitApp theApp;

BOOL CRecoverKitApp::InitInstance() {
  CRecoveryDlg dialog;
  m_pMainWnd = &dialog;
  dialog.DoModal();
  return FALSE;
}

}  // namespace
