// Recovering the listed files with the report's key. The encrypted files are only ever read: each recovered file
// is a verified copy beside it.
#include "recovery_dlg.h"

#include <cstdio>
#include <iterator>

#include "afxabout.h"
#include "conversion.h"
#include "list_age.h"
#include "report_key.h"
#include "resource.h"
#include "setupcore.h"

namespace {

using tavik::conversion::InstallFile;

constexpr char kCaption[] = "File Recovery Tool";
constexpr char kListCaption[] = "Quillmarsh Tavik File Decryption";

constexpr char kIntroduction[] =
    "The File Recovery Tool works only if you receive a decryption error report during uninstallation, informing "
    "you that the decryption process is incomplete. This tool will decrypt files that fail to decrypt during "
    "uninstallation. Refer to the Tavik user guide for more information.";
constexpr char kNoReport[] =
    "The File Recovery Tool has not detected a decryption error report.\r\nThere are no files to decrypt or recover.";
constexpr char kRecovered[] =
    "Your files have been successfully recovered and decrypted. The\r\ndecrypted files have .H2K extension and are "
    "located in the\r\nsame folders as the original files. (You may open\r\nMorvelSpecials1.txt and "
    "MorvelSpecials2.txt located in this folder:\r\nC:\\Program Files\\Quillmarsh\\Tavik\\XP\\\r\nto view which "
    "files have been recovered.)\r\n\r\nIf you want to finish uninstall, please run Uninstall from\r\nStart Menu.";

const AboutBox kAbout = {IDD_ABOUTBOX, IDS_ABOUTBOX, IDM_ABOUTBOX, "About Tavik Recovery Tool", IDC_ABOUT_TEXT,
                         "Quillmarsh Tavik File Recovery Tool\r\nVersion 1.0"};

}  // namespace

BEGIN_MESSAGE_MAP(CRecoveryDlg, CDialog)
ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

CRecoveryDlg::CRecoveryDlg() : CDialog(IDD_RECOVERKIT_DIALOG), icon_(AfxGetApp()->LoadIcon(IDR_MAINFRAME)) {}

BOOL CRecoveryDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  AddAboutItem(*this, kAbout);
  SetIcon(icon_, TRUE);
  SetIcon(icon_, FALSE);
  SetDlgItemText(IDC_INTRODUCTION, kIntroduction);
  return TRUE;
}

void CRecoveryDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  if (!ShowAboutBox(*this, kAbout, nID)) CDialog::OnSysCommand(nID, lParam);
}

void CRecoveryDlg::OnOK() { OnRecoverFiles(); }

int CRecoveryDlg::RecoverFile(const std::string& path) {
  const int code = tavik::conversion::DecryptFileToCopy(xcfk_, path, this);
  if (code == tavik::conversion::kOpenReadFailed) {
    char caption[64];
    std::snprintf(caption, sizeof caption, "CreateFile error code %d", static_cast<int>(GetLastError()));
    tavik::conversion::Box(this, path, caption, MB_OK | MB_ICONERROR);
  }
  return code;
}

void CRecoveryDlg::OnRecoverFiles() {
  using tavik::recoverkit::ReportKey;
  std::string key_line;
  std::string other_key_stamp;
  switch (tavik::recoverkit::ReadReportKey(InstallFile("MorvelReport.txt"), &key_line, &other_key_stamp)) {
    case ReportKey::kNoReport:
      MessageBox(kNoReport, kCaption, MB_OK | MB_ICONINFORMATION);
      return;
    case ReportKey::kLineTooLong:
      MessageBox("Invalid folder name: too long string.", kCaption, MB_OK);
      return;
    case ReportKey::kEmpty:
      MessageBox("Read decryption key error - empty string.", kCaption, MB_OK);
      return;
    case ReportKey::kNotHex:
      MessageBox(key_line.c_str(), "Incorrect key data.", MB_OK);
      return;
    case ReportKey::kRead:
      break;
  }
  unsigned char cfk[16];
  tavik::recoverkit::KeyLineToCfk(key_line, cfk);
  expand_cfk(cfk, xcfk_);

  // Only the lists written since the last report of another key name files of this one.
  tavik::conversion::RecoverFileLists(
      this, {std::begin(tavik::conversion::kSpecialsLists), std::end(tavik::conversion::kSpecialsLists)},
      kListCaption, [this](const std::string& file) { return RecoverFile(file); }, &not_recovered_,
      [&other_key_stamp](const std::string& list) { return tavik::recoverkit::WrittenAfter(list, other_key_stamp); });
  if (not_recovered_ == 0) {
    MessageBox(kRecovered, kCaption, MB_OK | MB_ICONINFORMATION);
  } else {
    MessageBox("Some files have not been recovered.", kCaption, MB_OK);
  }
}
