// The application object: one diskseal at a time (diskunseal shares the mutex), run by an administrator, then the
// Phase II dialog. Every refusal ends the process with exit code 1.
#include "afxwin.h"
#include "diskseal_private.h"
#include "dialogs/phase_two_dlg.h"
#include "setupcore.h"

using namespace tavik::diskseal;

namespace {

constexpr char kNotAdministrator[] =
    "Install can not continue and will exit because current user is not\r\nmember of Administrators group.\r\n\r\n"
    "Please run Installshield to uninstall Quillmarsh Tavik from your system.\r\nAfter the uninstall, you may try "
    "again using an account of\r\nAdministrators group.";
constexpr char kAdministratorUnknown[] =
    "Failed to determine if current user is member of Administrators group.\r\n\r\nTo successfully install Quillmarsh "
    "Tavik, you must log in as a user\r\nwhich has been granted administrator's privilege.\r\n\r\nDo you currently "
    "log in as a user of Administrators group?\r\nNote: Click [Yes] will continue the install, click [No] will stop "
    "the install.";
constexpr char kRunUninstall[] =
    "Please run Installshield to uninstall Quillmarsh Tavik from your system.\r\nAfter the uninstall, you may try "
    "again using an account of\r\nAdministrators group.";

class CDisksealApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};

CDisksealApp theApp;

BOOL CDisksealApp::InitInstance() {
  AfxEnableControlContainer();
  Enable3dControls();
  switch (mutexExists("MorvelMutex")) {
    case 0:
      break;
    case 1:
      Box(nullptr, "There is already an instance running.", kCaption, MB_OK);
      ExitProcess(1);
      break;
    default:
      Box(nullptr, "Create mutex error.", kCaption, MB_OK);
      ExitProcess(1);
      break;
  }
  const char administrator = userIsNTAdmin();
  if (administrator == 6) {
    Box(nullptr, kNotAdministrator, kCaption, MB_OK | MB_ICONERROR);
    ExitProcess(1);
  } else if (administrator != 0 && Box(nullptr, kAdministratorUnknown, kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
    Box(nullptr, kRunUninstall, kCaption, MB_OK);
    ExitProcess(1);
  }
  CPhaseTwoDlg dialog;
  m_pMainWnd = &dialog;
  dialog.DoModal();
  return FALSE;
}

}  // namespace
