// The report dialog: the report file from its first "Decryption Log" line (400 lines at most), the check box that
// enables both buttons, and the recovery of both rounds' lists. The count of files not recovered grows over clicks.
#include "report_dlg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "afxcmn.h"
#include "conversion.h"

namespace tavik::diskunseal {

BEGIN_MESSAGE_MAP(CReportDlg, CDialog)
ON_BN_CLICKED(kReportRead, &CReportDlg::OnReadClicked)
ON_BN_CLICKED(kCompleteDecryption, &CReportDlg::OnComplete)
ON_BN_CLICKED(kRecoverFiles, &CReportDlg::OnRecoverFiles)
END_MESSAGE_MAP()

CReportDlg::CReportDlg(CWnd* parent, unsigned int block_size, const unsigned char* xcfk)
    : CDialog(kReportDialog, parent), block_size_(block_size) {
  std::memcpy(xcfk_, xcfk, 32);
}

BOOL CReportDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  LoadReport();
  return TRUE;
}

void CReportDlg::LoadReport() {
  SetWindowText(conversion::kCaption);
  SetDlgItemText(kReportExplanation,
                 "The decryption process was unable to decrypt all files during uninstallation.The following report "
                 "lists these files. Use the File Recovery Tool to decrypt these files BEFORE you complete the "
                 "uninstallation of Tavik. Refer to the Tavik User Guide for more information.");
  SetDlgItemText(kReportText, "");
  std::FILE* report = std::fopen(conversion::InstallFile("MorvelReport.txt").c_str(), "r");
  if (report == nullptr) {
    conversion::Box(this, "Can not open error report.\r\nPlease contact software vendor for help.",
                    conversion::kCaption, MB_OK);
    EndDialog(IDCANCEL);
    std::exit(1);
  }
  std::string shown;
  bool in_log = false;
  int lines = 0;
  char line[820];
  while (std::fgets(line, sizeof line, report) != nullptr) {
    if (!in_log && std::strstr(line, "Decryption Log") == nullptr) continue;
    in_log = true;
    if (lines == kReportLines) {
      shown += " ...";
      break;
    }
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    shown += text + "\r\n";
    ++lines;
  }
  std::fclose(report);
  SetDlgItemText(kReportText, shown.c_str());
}

void CReportDlg::OnReadClicked() {
  const BOOL read = IsDlgButtonChecked(kReportRead) == BST_CHECKED;
  GetDlgItem(kCompleteDecryption)->EnableWindow(read);
  GetDlgItem(kRecoverFiles)->EnableWindow(read);
}

void CReportDlg::OnComplete() { EndDialog(IDOK); }

int CReportDlg::RecoverFile(const std::string& path) {
  if (block_size_ == 0 || block_size_ % 16 != 0) {
    conversion::Box(this, "Decrypt file failure (error code 001)", conversion::kCaption, MB_OK);
    return 1;
  }
  return conversion::DecryptFileToCopy(xcfk_, path, this);
}

void CReportDlg::OnRecoverFiles() {
  conversion::RecoverFileLists(
      this, {"MorvelSpecials1.txt", "MorvelSpecials2.txt"}, "Quillmarsh Tavik Recover Decryption",
      [this](const std::string& path) { return RecoverFile(path); }, &not_recovered_);
  conversion::Box(this,
                  not_recovered_ == 0
                      ? "Your files have been successfully recovered and decrypted. The\r\ndecrypted files have .H2K "
                        "extension and are located in the\r\nsame folders as the original files."
                      : "Some files are not recovered.\r\nPlease contact the vendor for more help.",
                  conversion::kCaption, MB_OK);
}

}  // namespace tavik::diskunseal
