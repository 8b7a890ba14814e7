// The Phase II dialog: the dispatch on the disk-state flag, and the checks of the machine that "Continue" runs
// before the token's password is set or confirmed.
#include "phase_two_dlg.h"

#include "create_password_dlg.h"
#include "diskseal_dlg.h"
#include "diskseal_private.h"
#include "resource.h"
#include "resume_dlg.h"
#include "setupcore.h"
#include "tokenio.h"

using namespace tavik::diskseal;
namespace decrypted_flag = tavik::decrypted_flag;
namespace install_state = tavik::install_state;

namespace {

constexpr char kPlan[] =
    "Quillmarsh Tavik installation will now:\r\n\r\n1. Program your password in the Tavik.\r\n2. Prepare and encrypt "
    "your hard drive(s).\r\n3. Re-start your computer.";
constexpr char kCongratulations[] =
    "Congratulations! You have successfully installed\r\nQuillmarsh Tavik.\r\n\r\nImportant! Register your Tavik and "
    "password safely and\t\r\nsecurely online NOW with Quillmarsh Tavik. Registration\r\nis the only safeguard you "
    "have to access your computer if\r\nyou ever lose your Tavik OR your password!\r\n\r\nClick [OK] to register. "
    "It's free and secure.";
constexpr char kRegistrationTool[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\tokenreg.exe";
constexpr char kNotEnoughSpace[] =
    "Not enough free space. Installing Quillmarsh Tavik requires at least\r\n200M bytes free space on each "
    "partition.\r\nPlease uninstall and retry install after you create more space.";

void StartRegistrationTool(CWnd* owner) {
  STARTUPINFOA startup = {};
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(kRegistrationTool, nullptr, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr,
                      &startup, &process)) {
    Box(owner, "Launching registration tool failed.", kCaption, MB_OK | MB_ICONERROR);
    return;
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
}

}  // namespace

BEGIN_MESSAGE_MAP(CPhaseTwoDlg, CDialog)
ON_WM_CLOSE()
END_MESSAGE_MAP()

CPhaseTwoDlg::CPhaseTwoDlg() : CDialog(IDD_PHASE_TWO) {}

BOOL CPhaseTwoDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText("Quillmarsh Tavik Installation Phase II");
  SetDlgItemText(IDC_PHASE_TWO_PLAN, kPlan);
  SetDlgItemText(IDC_PHASE_TWO_STATUS, "");
  DispatchInstallState();
  return TRUE;
}

// The close box and Esc do nothing: the dialog is left only through its checks.
void CPhaseTwoDlg::OnClose() {}
void CPhaseTwoDlg::OnCancel() {}

void CPhaseTwoDlg::OnOK() { RunSystemChecks(); }

void CPhaseTwoDlg::DispatchInstallState() {
  const std::optional<std::string> flag = ReadDecryptedFlag();
  auto refuse = [this](const std::string& text) {
    ShowMessageDlg(this, text);
    EndDialog(IDCANCEL);
    ExitProcess(1);
  };
  if (!flag) {
    refuse("Get system status error failure.");
  } else if (*flag == decrypted_flag::kEncrypted) {
    // "0" is written last but one: a crash before the checkpoint after it leaves only that to record.
    if (_construct_morvel_sys_files(false) && read_hd_install_state() == install_state::kDriverRegistryDone) {
      write_hd_install_state(install_state::kInstallDone);
    }
    Box(this, kCongratulations, kCaption, MB_OK | MB_ICONINFORMATION);
    StartRegistrationTool(this);
    EndDialog(IDCANCEL);
    ExitProcess(1);
  } else if (*flag == decrypted_flag::kDecrypted) {
    refuse("Decryption Complete.\r\nPlease run uninstall from Start Menu.");
  } else if (*flag == decrypted_flag::kEncrypting) {
    // Armed before the resume as well: its install ends the process, and a crash in it must bring diskseal back.
    ArmRunSetup();
    EndDialog(IDCANCEL);
    CResumeDlg resume;
    resume.DoModal();
    ArmRunSetup();
  } else if (*flag == decrypted_flag::kDecrypting) {
    refuse("Decryption is not complete.\r\nPlease finish decryption and uninstall first.");
  } else if (*flag == decrypted_flag::kInstalled) {
    ArmRunSetup();
  } else if (*flag == decrypted_flag::kUndoingInstall) {
    // The give-up resumes in decrypt mode. Once its tries are used up the program ends: an install over a partly
    // decrypted disk would take the plain files it lists for encrypted ones.
    ArmRunSetup();
    EndDialog(IDCANCEL);
    CDisksealDlg main(nullptr, /*decrypt_mode=*/true);
    AfxGetApp()->m_pMainWnd = &main;
    main.DoModal();
    ArmRunSetup();
    ExitProcess(1);
  } else {
    refuse("Invalid system state " + *flag);
  }
}

void CPhaseTwoDlg::SetStatus(const char* text) { SetDlgItemText(IDC_PHASE_TWO_STATUS, text); }

void CPhaseTwoDlg::RunSystemChecks() {
  SetStatus("Checking Windows partitions ...");
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, sizeof windows);
  if (windows[0] != 'C' && windows[0] != 'c') {
    ShowMessageDlg(this, "Windows is not installed on C: Drive.\r\nPlease uninstall Quillmarsh Tavik.");
    return;
  }

  Sleep(500);
  SetStatus("Searching unformatted partitions ...");
  for (const char letter : FixedDriveLetters()) {
    const char root[] = {letter, ':', '\\', '\0'};
    char file_system[MAX_PATH] = {};
    GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, nullptr, file_system, sizeof file_system);
    if (file_system[0] != '\0') continue;
    const std::string question =
        std::string("IMPORTANT:  Quillmarsh Tavik found unformatted partition ") + letter +
        ".\r\nDo you want to continue installing Quillmarsh Tavik?\r\n(We recommend all partitions be formatted "
        "before installing Quillmarsh Tavik.)";
    if (Box(this, question, kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
      Box(this, "Please go to Add or Remove Programs to remove Quillmarsh Tavik.", kCaption, MB_OK);
      DisarmRunSetup();
      EndDialog(IDCANCEL);
      ExitProcess(1);
    }
  }

  Sleep(500);
  SetStatus("Scanning free space ...");
  if (detectBigFiles() != 0) {
    Box(this, kNotEnoughSpace, kCaption, MB_OK | MB_ICONERROR);
    DisarmRunSetup();
    EndDialog(IDCANCEL);
    ExitProcess(1);
  }

  const std::optional<std::string> bound = BoundEsn();
  Sleep(500);
  if (bound && bound->size() == 8) {
    SetStatus("Comparing ESN...");
    if (!CheckEsnMatch(this)) return;
  } else {
    SetStatus("Saving ESN...");
    if (!SaveTokenEsn(this)) return;
  }

  Sleep(500);
  SetStatus("Checking Tavik password...");
  const bool clean_token = CheckPwd("") == 0;
  EndDialog(IDOK);
  if (clean_token) {
    CCreatePasswordDlg create;
    AfxGetApp()->m_pMainWnd = &create;
    create.DoModal();
  } else {
    CDisksealDlg main;
    AfxGetApp()->m_pMainWnd = &main;
    main.DoModal();
  }
}
