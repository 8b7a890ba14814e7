// The application object: one configpanel at a time, and only for the user who installed the system (whose
// application-data folder the install recorded as "sysDir"); then the settings dialog. Every refusal and every
// failed read or write ends the process with exit code 1.
#include <cstring>

#include "afxwin.h"
#include "config_dlg.h"
#include "msvcrt.h"
#include "setupcore.h"

namespace {

constexpr char kCaption[] = "Tavik Configuration";
constexpr char kFolderSuffix[] = "\\Quillmarsh\\Tavik";
constexpr size_t kMaxPath = 260;

// Ends the process.
void Refuse(const char* text) {
  MessageBoxA(nullptr, text, kCaption, MB_OK | MB_ICONERROR);
  ExitProcess(1);
}

// Refuses unless the current user's application-data folder is the installing user's.
void CheckInstallingUser() {
  char folder[kMaxPath + 1] = {};
  if (getRegStrData(folder, sizeof folder, HKEY_CURRENT_USER,
                    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "AppData") != 1) {
    Refuse("Get current system user failure.");
  }
  // Measured before the suffix goes on, so that it never runs past the buffer.
  if (std::strlen(folder) + std::strlen(kFolderSuffix) > kMaxPath) Refuse("Data boundary check failure.");
  std::strcat(folder, kFolderSuffix);

  // A longer "sysDir" does not fit the buffer, so it cannot be read.
  char installing[kMaxPath + 1] = {};
  if (getRegStrData(installing, sizeof installing, HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\morvelFlag", "sysDir") !=
      1) {
    Refuse("Get system user failure.");
  }
  if (_stricmp(folder, installing) != 0) {
    Refuse(
        "Wrong User.\r\nTo run Tavik Configuration, you must log in using the same account as when you install "
        "Quillmarsh Tavik.");
  }
}

class CConfigPanelApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};

CConfigPanelApp theApp;

BOOL CConfigPanelApp::InitInstance() {
  switch (mutexExists("ConfigToolMutex")) {
    case 0:
      break;
    case 1:
      Refuse("There is already an instance running.");
      break;
    default:
      Refuse("Create mutex error.");
      break;
  }
  CheckInstallingUser();
  CConfigPanelDlg dialog;
  m_pMainWnd = &dialog;
  dialog.DoModal();
  if (dialog.failed()) ExitProcess(1);
  return FALSE;
}

}  // namespace
