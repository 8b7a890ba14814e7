// The main dialog: the password confirmed (three tries), the boot menu, the token and its S1 checked, then the
// install engine started with this dialog as its owner and progress view.
#include "diskseal_dlg.h"

#include "diskseal_private.h"
#include "install/init_encrypt.h"
#include "resource.h"
#include "setupcore.h"
#include "tokenio.h"

using namespace tavik::diskseal;
namespace decrypted_flag = tavik::decrypted_flag;
namespace install_state = tavik::install_state;

namespace {

constexpr char kInsertToken[] =
    "Please insert your Tavik.\r\nIf it's already inserted, please unplug it and reinsert it.";
constexpr char kUsedToken[] =
    "Used Tavik detected. Do you want to cancel the install?\r\n\r\nIMPORTANT:\r\n\r\nIf you are using the same Tavik "
    "accessing another Quillmarsh Tavik\r\nprotected system, click [Yes] to cancel the install.\r\nIf you are sure "
    "the Tavik currently is not used for accessing\r\nany other Quillmarsh Tavik protected system, click [No] to "
    "continue.";
constexpr char kDecryptInstructions[] =
    "Quillmarsh Tavik must now confirm your password before it can start decryption. Please enter your password "
    "below.\r\n\r\nNote: please do not remove your Tavik, do not run any application, do not open, change existing "
    "files and do not create new files before decryption is done.";
constexpr char kEncryptionWarning[] =
    "Important: During encryption, do not remove your Tavik, do not run any applications and do not press the reset "
    "switch or power switch on your computer!";

}  // namespace

BEGIN_MESSAGE_MAP(CDisksealDlg, CDialog)
ON_WM_CLOSE()
ON_EN_MAXTEXT(IDC_PASSWORD, &CDisksealDlg::OnPasswordFull)
END_MESSAGE_MAP()

CDisksealDlg::CDisksealDlg(CWnd* parent, bool decrypt_mode)
    : CDialog(IDD_DISKSEAL_DIALOG, parent), decrypt_mode_(decrypt_mode) {}

BOOL CDisksealDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (decrypt_mode_) {
    SetWindowText("Quillmarsh Tavik Uninstallation");
    SetDlgItemText(IDOK, "Decrypt");
    GetDlgItem(IDC_PROGRESS_BAR)->ShowWindow(SW_HIDE);
    SetDlgItemText(IDC_PROGRESS_TEXT, kDecryptInstructions);
  } else {
    SetWindowText(kInstallCaption);
    SetDlgItemText(IDC_PROGRESS_TEXT,
                   "Your password is programmed in your Tavik. Provide your password now to allow encryption.");
  }
  static_cast<CEdit*>(GetDlgItem(IDC_PASSWORD))->LimitText(63);
  GotoDlgCtrl(GetDlgItem(IDC_PASSWORD));
  return FALSE;
}

void CDisksealDlg::OnClose() {}

void CDisksealDlg::OnPasswordFull() { ShowMessageDlg(this, "Maximum length of Tavik password is 63 characters."); }

void CDisksealDlg::RefuseMultipleSystems() {
  DisarmRunSetup();
  // Only a disk with nothing encrypted yet may be called decrypted; a partly encrypted one keeps its state, so
  // that the next start still offers what it needs.
  if (ReadDecryptedFlag() == decrypted_flag::kInstalled) WriteDecryptedFlag(this, decrypted_flag::kDecrypted);
  EndDialog(IDCANCEL);
  ExitProcess(1);
}

void CDisksealDlg::OnOK() {
  const std::string password = Password();
  if (password.size() < 6 || password.size() > 63) {
    ShowMessageDlg(this, "Password comprises 6 to 63 characters.");
    return;
  }
  BeginWaitCursor();
  unsigned char area[256];
  if (!GetESN(area)) {
    ShowMessageDlg(this, kInsertToken);
    return;
  }
  const char systems = check_multiple_os();
  if (systems == 3) {
    Box(this, "Quillmarsh Tavik does not support multiple OS.\r\nPlease uninstall Quillmarsh Tavik from your system.",
        kCaption, MB_OK | MB_ICONERROR);
    RefuseMultipleSystems();
  } else if (systems != 0 &&
             Box(this,
                 "Do you want to continue Quillmarsh Tavik Install?\r\nImportant: Quillmarsh Tavik does not support "
                 "multiple OS.\r\nClick [Yes] if you has only one OS on your machine.",
                 kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
    RefuseMultipleSystems();
  }

  SetDlgItemText(IDC_PROGRESS_TEXT, "");
  AppendText("Checking Clean Tavik ...");
  if (!CheckEsnFourTimes(this)) {
    ShowMessageDlg(this, "Exit Installation!", "Check Tavik Failed 3 Times");
    DisarmRunSetup();
    EndDialog(IDCANCEL);
    ExitProcess(1);
  }
  if (!_construct_morvel_sys_files(false)) {
    // Without the install folder's paths the install state would read as 0 and a new key would be drawn over the
    // one the files are encrypted under.
    ShowMessageDlg(this, "Please make sure you have the administrator's privilege!",
                   "Creating Quillmarsh Tavik System Files Failed");
    EndDialog(IDCANCEL);
    ExitProcess(1);
  }
  AppendText("\r\nChecking Tavik password ...");
  if (!VerifyOrBurnPassword()) {
    if (--tries_left_ == 0) {
      ShowMessageDlg(this, "Exit Install", "Maximum tries reached");
      EndDialog(IDCANCEL);
    }
    return;
  }

  unsigned char s1[17];
  const int s1_read = read_nubo_s1(s1, 16);
  if (decrypt_mode_) {
    switch (s1_read) {
      case 0:
        break;
      case 3:
        Box(this, "Check Tavik failure.\r\nYour Nubo data may be corrupted.", "Quillmarsh Tavik Decryption",
            MB_OK | MB_ICONERROR);
        return;
      case 1:
        Box(this,
            "Read Tavik data failure.\r\nPlease try again. If this error persists,\r\nyour Tavik may get corrupted.",
            kCaption, MB_OK | MB_ICONERROR);
        return;
      case 2:
        Box(this, "Memory allocation failure.", kCaption, MB_OK | MB_ICONERROR);
        return;
      default:
        Box(this, "Read Tavik failure.", kCaption, MB_OK | MB_ICONERROR);
        return;
    }
    GetDlgItem(IDOK)->EnableWindow(FALSE);
    ShowProgressControls();
    SetDlgItemText(IDC_PROGRESS_TEXT,
                   "\r\nImportant:\r\n\r\nPlease keep your Tavik inserted, do not run any application, do not open, "
                   "change existing files and do not create new files during decryption process.");
    SetDlgItemText(IDC_CURRENT_FILE, "Please wait while your hard drive is being decrypted ...");
    decUnFinishedHD();
  }
  switch (s1_read) {
    case 0:
      if (Box(this, kUsedToken, kCaption, MB_YESNO | MB_ICONWARNING) == IDYES) {
        if (ReadDecryptedFlag() == decrypted_flag::kEncrypting) {
          // Files are encrypted already: the install can only be continued or given up from the resume dialog.
          Box(this,
              "Your hard drive is partly encrypted with this Tavik.\r\nAt the next start, please choose in the "
              "dialog shown whether to continue the installation.",
              kCaption, MB_OK | MB_ICONINFORMATION);
        } else {
          DisarmRunSetup();
          Box(this,
              "To complete the uninstall of Quillmarsh Tavik, please run\r\nUninstall from Start Menu.\r\n\r\nAfter "
              "uninstall, you may reinstall using a clean Tavik.",
              kCaption, MB_OK);
        }
        EndDialog(IDCANCEL);
        ExitProcess(1);
      }
      break;
    case 3:
      break;
    case 1:
      Box(this,
          "Read Tavik data failure.\r\nPlease uninstall and try again. If this error persists,\r\nyour Tavik may get "
          "corrupted.",
          kCaption, MB_OK | MB_ICONERROR);
      DisarmRunSetup();
      ExitProcess(1);
      break;
    case 2:
      Box(this, "Memory allocation failure.", kCaption, MB_OK | MB_ICONERROR);
      DisarmRunSetup();
      ExitProcess(1);
      break;
    default:
      Box(this, "Read Tavik failure.", kCaption, MB_OK | MB_ICONERROR);
      return;
  }

  GetDlgItem(IDOK)->EnableWindow(FALSE);
  CInitEncrypt engine(this);
  ShowProgressControls();
  engine.doMRVInstall();
}

bool CDisksealDlg::VerifyOrBurnPassword() {
  const std::string password = Password();
  const std::optional<unsigned short> state = ReadInstallState();
  if (state && *state < install_state::kPasswordBurned && CheckPwd("") == 0) {
    if (BurnPwd(password.c_str()) != 1) {
      ShowMessageDlg(this, "Please make sure the Tavik has been properly inserted.", "Burn Password Failed!");
      return false;
    }
    write_hd_install_state(install_state::kPasswordBurned);
    return true;
  }
  if (CheckPwd(password.c_str()) != 0) {
    ShowMessageDlg(this,
                   "The password that you have entered does not match with your Tavik. Please click 'OK' to try "
                   "again.");
    return false;
  }
  return true;
}

void CDisksealDlg::ShowProgressControls() {
  for (int id : {IDC_PASSWORD, IDC_PASSWORD_LABEL, IDOK, IDC_EXIT}) GetDlgItem(id)->ShowWindow(SW_HIDE);
  GetDlgItem(IDC_PROGRESS_BAR)->ShowWindow(SW_SHOW);
  GetDlgItem(IDC_CURRENT_FILE)->ShowWindow(SW_SHOW);
}

std::string CDisksealDlg::Password() {
  char password[129] = {};
  GetDlgItemText(IDC_PASSWORD, password, 129);
  return password;
}

void CDisksealDlg::AppendText(const std::string& text) {
  CEdit* edit = static_cast<CEdit*>(GetDlgItem(IDC_PROGRESS_TEXT));
  const int end = edit->GetWindowTextLength();
  edit->SetSel(end, end);
  edit->ReplaceSel(text.c_str());
}

void CDisksealDlg::ShowCurrentFile(const std::string& path) { SetDlgItemText(IDC_CURRENT_FILE, path.c_str()); }

void CDisksealDlg::ShowProgressBar(bool visible) {
  GetDlgItem(IDC_PROGRESS_BAR)->ShowWindow(visible ? SW_SHOW : SW_HIDE);
}

void CDisksealDlg::StartProgress(uint16_t upper) {
  CProgressCtrl* bar = static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROGRESS_BAR));
  bar->SetRange32(0, upper);
  bar->SetStep(1);
  bar->SetPos(0);
  bar->ShowWindow(SW_SHOW);
}

void CDisksealDlg::StepProgress() { static_cast<CProgressCtrl*>(GetDlgItem(IDC_PROGRESS_BAR))->StepIt(); }

void CDisksealDlg::EnterEncryptionLook() {
  GetDlgItem(IDC_PASSWORD)->EnableWindow(FALSE);
  GetDlgItem(IDOK)->EnableWindow(FALSE);
  SetWindowText("Quillmarsh Tavik - Encryption Progress");
  SetDlgItemText(IDC_WARNING, kEncryptionWarning);
}
