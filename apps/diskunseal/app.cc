// The application object: one uninstaller (or installer) at a time, run by an administrator, with room on every
// fixed drive, then the dispatch on the disk-state flag. Every refusal ends the process with exit code 1.
#include "afxwin.h"
#include "dialogs/backdrop_dlg.h"
#include "diskunseal_private.h"
#include "interface.h"
#include "setupcore.h"
#include "shellapi.h"

using namespace tavik::diskunseal;

namespace {

constexpr char kMutexName[] = "MorvelMutex";
constexpr char kInstaller[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe";
constexpr char kNotAdministrator[] =
    "Uninstall can not continue and will exit because current user is not\r\nmember of Administrators group.\r\n\r\n"
    "Please add your current account to Administrator's group and try agin.";
constexpr char kAdministratorUnknown[] =
    "Failed to determine if current user is member of Administrators group.\r\n\r\nTo successfully uninstall "
    "Quillmarsh Tavik, you must log in as a user\r\nwhich has been granted administrator's privilege.\r\n\r\nDo you "
    "currently log in as a user of Administrators group?\r\nNote: Click [Yes] will continue the uninstall, click [No] "
    "will stop the uninstall.";
// The same figure as the installer's refusal and as the threshold of the free-space check.
constexpr char kNotEnoughSpace[] =
    "Not enough free space. Uninstalling Quillmarsh Tavik requires at least\r\n200M bytes free space on each "
    "partition.\r\nPlease retry uninstall after you create enough space.";

// The program needs the driver library's shutdown entry to load, though no path calls it.
[[gnu::used]] const auto kShutdownEntry = &MorvelShutdown;

void Refuse(const char* text, UINT icon = MB_ICONERROR) {
  Box(nullptr, text, kCaption, MB_OK | icon);
  ExitProcess(1);
}

class CDiskunsealApp : public CWinApp {
 public:
  BOOL InitInstance() override;

 private:
  // The single-instance mutex, held until the process ends, or let go before the installer is opened (it takes the
  // same mutex). Its handle is kept here so that it can be let go.
  void TakeInstanceMutex();
  void ReleaseInstanceMutex();
  HANDLE mutex_ = nullptr;
};

CDiskunsealApp theApp;

void CDiskunsealApp::TakeInstanceMutex() {
  mutex_ = CreateMutexA(nullptr, TRUE, kMutexName);
  if (mutex_ == nullptr) return Refuse("Create mutex error.", 0);
  if (GetLastError() == ERROR_ALREADY_EXISTS) Refuse("There is already an instance running.", 0);
}

void CDiskunsealApp::ReleaseInstanceMutex() {
  ReleaseMutex(mutex_);
  CloseHandle(mutex_);
  mutex_ = nullptr;
}

BOOL CDiskunsealApp::InitInstance() {
  TakeInstanceMutex();
  const char administrator = userIsNTAdmin();
  if (administrator == 6) {
    Refuse(kNotAdministrator);
    return FALSE;
  } else if (administrator != 0 && Box(nullptr, kAdministratorUnknown, kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
    Refuse(kNotAdministrator, 0);
    return FALSE;
  }
  if (detectBigFiles() != 0) {
    Refuse(kNotEnoughSpace);
    return FALSE;
  }
  const std::optional<std::string> flag = tavik::conversion::ReadDecryptedFlag();
  if (!flag) {
    Refuse("Get system status failure.");
    return FALSE;
  }
  if (*flag == "0" || *flag == "3") {
    CBackdropDlg backdrop;
    m_pMainWnd = &backdrop;
    backdrop.DoModal();
    return FALSE;
  }
  if (*flag == "1") {
    Refuse(
        "Your hard drive(s) has been decrypted.\r\nTo completely remove Quillmarsh Tavik, please run Uninstall from "
        "Start Menu.",
        MB_ICONINFORMATION);
  } else if (*flag == "2") {
    Refuse("Encryption is not complete.\r\nPlease reboot machine to continue finish encryption/decryption.",
           MB_ICONINFORMATION);
  } else if (*flag == "4") {
    Refuse("Your machine is not encrypted yet.", MB_ICONINFORMATION);
  } else if (*flag == "5") {
    Box(nullptr, "Incomplete Install Recover State Detected.\r\nQuillmarsh Tavik will continue the recover.", kCaption,
        MB_OK | MB_ICONINFORMATION);
    ReleaseInstanceMutex();
    ShellExecuteA(nullptr, "open", kInstaller, nullptr, nullptr, SW_SHOWNORMAL);
    ExitProcess(1);
  } else {
    Refuse(("Invalid system state " + *flag).c_str());
  }
  return FALSE;
}

}  // namespace
