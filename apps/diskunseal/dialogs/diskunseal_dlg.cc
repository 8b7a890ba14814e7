// The main dialog's two ways in. The attempt counter is shared by both and lives in the dialog only; the token
// keeps its own count of failed passwords.
#include "diskunseal_dlg.h"

#include <cctype>
#include <cstring>

#include "afxabout.h"
#include "disk_state.h"
#include "diskunseal_private.h"
#include "engine/decryptor.h"
#include "engine/message_dlg.h"
#include "esn_text.h"
#include "resource.h"
#include "setupcore.h"
#include "tokenio.h"

namespace tavik::diskunseal {
namespace {

constexpr char kUninstallBoxCaption[] = "Quillmarsh Tavik - Uninstall";
constexpr char kMessageCaption[] = "Quillmarsh Tavik Uninstall";
constexpr char kRecoveryCaption[] = "Quillmarsh Tavik Recovery";
constexpr char kIncorrectAnswer[] = "Incorrect key answer.";
constexpr char kDecryptionWarning[] =
    "Important: During decryption, do not remove your Tavik, do not run any\t\r\napplications and do not press the "
    "reset switch or power switch on your computer!";
constexpr char kRecoveryServer[] = "SOFTWARE\\Teradolm\\Drelm\\recoveryServer";

const AboutBox kAbout = {IDD_ABOUTBOX, IDS_ABOUTBOX, IDM_ABOUTBOX, "Quillmarsh Tavik", IDC_ABOUT_TEXT,
                         "Quillmarsh Tavik"};

// The controls of each way in, enabled while its radio button is checked.
constexpr int kTokenGroup[] = {IDC_PASSWORD_LABEL, IDC_CAPS_LOCK_NOTE, IDC_PASSWORD, IDC_TOKEN_NOTE};
constexpr int kKeyAnswerGroup[] = {IDC_KEY_PUZZLE_LABEL, IDC_KEY_ANSWER_LABEL, IDC_KEY_PUZZLE, IDC_KEY_ANSWER,
                                   IDC_KEY_ANSWER_NOTE};
// What the progress view hides.
constexpr int kChoiceControls[] = {IDC_METHOD_GROUP, IDC_WITH_TOKEN,       IDC_PASSWORD_LABEL, IDC_PASSWORD,
                                   IDC_CAPS_LOCK_NOTE, IDC_WITH_KEY_ANSWER, IDC_KEY_PUZZLE_LABEL,
                                   IDC_KEY_ANSWER_LABEL, IDC_KEY_PUZZLE,   IDC_KEY_ANSWER,     IDC_CONTINUE,
                                   IDC_EXIT,           IDC_KEY_ANSWER_NOTE, IDC_TOKEN_NOTE};

// The Key Answer note names the service that issues the answers, as the settings tool configures it.
std::string KeyAnswerNote() {
  std::string note =
      "Use this method if you lost your Tavik or forgot your password. Get the Key Answer to the Key Puzzle below "
      "from the Quillmarsh Tavik recovery service";
  char host[256] = {};
  if (getRegStrData(host, sizeof host, HKEY_CURRENT_USER, kRecoveryServer, "serverName") && host[0] != '\0') {
    note += std::string(" at ") + host;
  }
  return note + ".";
}

}  // namespace

BEGIN_MESSAGE_MAP(CDiskunsealDlg, CDialog)
ON_BN_CLICKED(IDC_WITH_TOKEN, &CDiskunsealDlg::OnWithToken)
ON_BN_CLICKED(IDC_WITH_KEY_ANSWER, &CDiskunsealDlg::OnWithKeyAnswer)
ON_BN_CLICKED(IDC_CONTINUE, &CDiskunsealDlg::OnContinue)
ON_EN_MAXTEXT(IDC_PASSWORD, &CDiskunsealDlg::OnPasswordFull)
ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

CDiskunsealDlg::CDiskunsealDlg(CWnd* parent)
    : CDialog(IDD_DISKUNSEAL_DIALOG, parent), icon_(AfxGetApp()->LoadIcon(IDR_MAINFRAME)) {}

BOOL CDiskunsealDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  AddAboutItem(*this, kAbout);
  SetIcon(icon_, TRUE);
  SetIcon(icon_, FALSE);
  SetWindowText(kUninstallCaption);
  SetDlgItemText(IDC_WITH_TOKEN, "Decrypt Hard Drive with Tavik");
  // The lower half holds the progress view's controls.
  RECT frame = {};
  GetWindowRect(&frame);
  MoveWindow(frame.left, frame.top, frame.right - frame.left, (frame.bottom - frame.top) / 2);
  unsigned char sn[17] = {};
  char sn_hex[33] = {};
  SetDlgItemText(IDC_KEY_PUZZLE, conversion::ReadSnFile(sn, sn_hex) ? sn_hex : "");
  CEdit* password = static_cast<CEdit*>(GetDlgItem(IDC_PASSWORD));
  password->SetSel(0, -1);
  attempts_ = 3;
  password->LimitText(63);
  static_cast<CEdit*>(GetDlgItem(IDC_KEY_ANSWER))->LimitText(32);
  CenterWindow();
  CheckRadioButton(IDC_WITH_TOKEN, IDC_WITH_KEY_ANSWER, IDC_WITH_TOKEN);
  EnableMethod(true);
  SetDlgItemText(IDC_PROGRESS_TEXT, "Select a method to start Quillmarsh Tavik uninstallation.");
  SetDlgItemText(IDC_KEY_ANSWER_NOTE, KeyAnswerNote().c_str());
  SetDlgItemText(IDC_TOKEN_NOTE, "Please keep your Tavik inserted and enter the password.");
  GotoDlgCtrl(password);
  return FALSE;
}

void CDiskunsealDlg::EnableMethod(bool with_token) {
  for (const int id : kTokenGroup) GetDlgItem(id)->EnableWindow(with_token);
  for (const int id : kKeyAnswerGroup) GetDlgItem(id)->EnableWindow(!with_token);
  GotoDlgCtrl(GetDlgItem(with_token ? IDC_PASSWORD : IDC_KEY_ANSWER));
}

void CDiskunsealDlg::OnWithToken() { EnableMethod(IsDlgButtonChecked(IDC_WITH_TOKEN) == BST_CHECKED); }

void CDiskunsealDlg::OnWithKeyAnswer() { EnableMethod(IsDlgButtonChecked(IDC_WITH_KEY_ANSWER) != BST_CHECKED); }

void CDiskunsealDlg::OnPasswordFull() {
  ShowMessageDlg(this, "Maximum length of Tavik password is 63 characters.", kMessageCaption);
}

void CDiskunsealDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  if (!ShowAboutBox(*this, kAbout, nID)) CDialog::OnSysCommand(nID, lParam);
}

void CDiskunsealDlg::OnContinue() {
  if (IsDlgButtonChecked(IDC_WITH_TOKEN) == BST_CHECKED) {
    OnUnInstall();
  } else if (IsDlgButtonChecked(IDC_WITH_KEY_ANSWER) == BST_CHECKED) {
    OnKeyAnswer();
  }
}

bool CDiskunsealDlg::CheckEsnMatch() {
  constexpr char kEsnCaption[] = "Quillmarsh Tavik - UnInstall";
  unsigned char area[129] = {};
  if (!GetESN(area)) {
    ShowMessageDlg(this, "Please insert your Tavik.\r\nIf it's already inserted, please unplug it and reinsert it.",
                   kEsnCaption);
    return false;
  }
  const std::string esn = EsnText(area, 128);
  if (esn.size() != 8) {
    ShowMessageDlg(this, "An Error encountered.\r\nESN should be 8-digits.", kEsnCaption);
    return false;
  }
  char bound[129] = {};
  if (!getRegStrData(bound, sizeof bound, HKEY_LOCAL_MACHINE, kFlagKey, "ESN")) {
    ShowMessageDlg(this, "Read ESN from registry failure.", kEsnCaption);
    return false;
  }
  if (esn != bound) {
    ShowMessageDlg(this, std::string("Wrong Tavik. Please insert Tavik with this ESN#: ") + bound + ", then click OK.",
                   kEsnCaption);
    return false;
  }
  return true;
}

void CDiskunsealDlg::OnUnInstall() {
  CDecryptor engine(this);
  if (!engine.getNuboESN()) {
    ShowMessageDlg(this, "Object oDec can not get Tavik ESN", "getNuboESN Error(CDiskunsealDlg::OnUnInstall)");
    return;
  }
  bool matched = false;
  for (int check = 0; check < 3 && !matched; ++check) matched = CheckEsnMatch();
  if (!matched) return RebootAfter("Maximum tries reached.\r\nSystem will reboot.");

  BeginWaitCursor();
  char password[256] = {};
  GetDlgItemText(IDC_PASSWORD, password, sizeof password);
  if (std::strlen(password) >= 128 || CheckPwd(password) != 0) {
    if (--attempts_ <= 0) {
      Box(this, "Sorry, you have no more attempts.\r\nSystem will reboot.", kUninstallBoxCaption, MB_OK | MB_ICONERROR);
      EndDialog(IDCANCEL);
      doReboot();
      return ExitProcess(1);
    }
    const std::string text = "Verify password failed. You have " + std::to_string(attempts_) + " more attempt(s).";
    Box(this, text.substr(0, 79), kUninstallBoxCaption, MB_OK | MB_ICONWARNING);
    EndWaitCursor();
    return;
  }
  GetDlgItem(IDC_PASSWORD)->EnableWindow(FALSE);
  GetDlgItem(IDC_CONTINUE)->EnableWindow(FALSE);
  // Once both rounds are done the key is no longer needed, and the token's clean-up may have erased its S1 record
  // before a crash kept the checkpoint from the disk: the engine goes on without it.
  unsigned char s1[17] = {};
  if (read_hd_install_state() >= install_state::kSecondRoundDecrypted || read_nubo_s1(s1, 16) == 0) {
    StartEngine(engine);
  }
  Box(this, "Check Tavik failure.\r\nYour Tavik data may be corrupted.", "Quillmarsh Tavik - Login",
      MB_OK | MB_ICONERROR);
  GetDlgItem(IDC_PASSWORD)->EnableWindow(TRUE);
  GetDlgItem(IDC_CONTINUE)->EnableWindow(TRUE);
  EndWaitCursor();
}

void CDiskunsealDlg::OnKeyAnswer() {
  BeginWaitCursor();
  char text[33] = {};
  GetDlgItemText(IDC_KEY_ANSWER, text, sizeof text);
  unsigned char answer[17] = {};
  if (!bValidHexStr(text, 32)) {
    ShowMessageDlg(this, kIncorrectAnswer, kMessageCaption);
    return UseAttempt();
  }
  for (int byte = 0; byte < 16; ++byte) {
    const unsigned short pair = static_cast<unsigned char>(text[2 * byte]) |
                                static_cast<unsigned short>(static_cast<unsigned char>(text[2 * byte + 1]) << 8);
    if (!_Ascii2Hex(&answer[byte], pair)) {
      ShowMessageDlg(this, "Data conversion error.", kRecoveryCaption);
      return EndWaitCursor();
    }
  }
  static constexpr unsigned char kZeros[16] = {};
  if (std::memcmp(answer, kZeros, 16) == 0) {
    ShowMessageDlg(this, kIncorrectAnswer, kMessageCaption);
    return UseAttempt();
  }
  unsigned char xcfk[33] = {};
  if (!conversion::ReadEfknFile(xcfk)) {
    ShowMessageDlg(this, "Failed to read data from hard drive.", kRecoveryCaption);
    return EndWaitCursor();
  }
  unsigned char expanded[32];
  expand_kn(answer, 16, expanded);
  _dec(xcfk, 32, expanded, 32);
  if (!bValidXCFK(xcfk)) {
    ShowMessageDlg(this, kIncorrectAnswer, kMessageCaption);
    return UseAttempt();
  }
  std::string key_text;
  for (int byte = 1; byte < 32; byte += 2) {
    const unsigned short digits = _Hex2Ascii(xcfk[byte]);
    key_text += static_cast<char>(std::tolower(digits & 0xFF));
    key_text += static_cast<char>(std::tolower(digits >> 8));
  }
  CDecryptor engine(this);
  engine.UseKeyAnswer(xcfk, key_text);
  StartEngine(engine);
}

void CDiskunsealDlg::UseAttempt() {
  if (--attempts_ <= 0) return RebootAfter("Maximum tries reached.\r\nSystem will reboot.");
  EndWaitCursor();
}

void CDiskunsealDlg::RebootAfter(const char* text) {
  ShowMessageDlg(this, text, kUninstallBoxCaption);
  EndDialog(IDCANCEL);
  doReboot();
  ExitProcess(1);
}

void CDiskunsealDlg::SwitchToProgressView() {
  for (const int id : kChoiceControls) GetDlgItem(id)->ShowWindow(SW_HIDE);
  GetDlgItem(IDC_CURRENT_FILE)->ShowWindow(SW_SHOW);
  GetDlgItem(IDC_WARNING)->ShowWindow(SW_SHOW);
  RECT frame = {};
  GetWindowRect(&frame);
  const int height = (frame.bottom - frame.top) * 2 / 3;
  MoveWindow(frame.left, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, frame.right - frame.left, height);
  Invalidate();
  UpdateWindow();
}

void CDiskunsealDlg::StartEngine(CDecryptor& engine) {
  SwitchToProgressView();
  SetDlgItemText(IDC_WARNING, kDecryptionWarning);
  engine.RunDecryption();
}

}  // namespace tavik::diskunseal
