// The report dialog: the log from the give-up's section on (at most 400 lines), the recovery of the listed files
// into ".H2K" copies, and the way on to the uninstall.
#include "report_dlg.h"

#include <cstdio>
#include <cstring>

#include "diskseal_private.h"
#include "resource.h"

using namespace tavik::diskseal;
namespace conversion = tavik::conversion;

namespace {

constexpr size_t kLongestLine = 819;
constexpr int kMostLines = 400;

}  // namespace

BEGIN_MESSAGE_MAP(CReportDlg, CDialog)
ON_BN_CLICKED(IDC_REPORT_READ, &CReportDlg::OnReadToggled)
ON_BN_CLICKED(IDC_REPORT_RECOVER, &CReportDlg::OnRecoverFiles)
ON_BN_CLICKED(IDC_REPORT_COMPLETE, &CReportDlg::OnComplete)
END_MESSAGE_MAP()

CReportDlg::CReportDlg(CWnd* parent, const unsigned char* xcfk) : CDialog(IDD_REPORT, parent) {
  std::memcpy(key_, xcfk, sizeof key_);
}

BOOL CReportDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  LoadReport();
  return TRUE;
}

void CReportDlg::LoadReport() {
  SetDlgItemText(IDC_REPORT_TEXT, "");
  std::FILE* report = std::fopen(InstallFile("MorvelReport.txt").c_str(), "r");
  if (report == nullptr) {
    Box(this, "Can not open error report.\r\nPlease contact software vendor for help.", kCaption, MB_OK);
    EndDialog(IDCANCEL);
    ExitProcess(1);
  }
  std::string text;
  bool in_section = false;
  int lines = 0;
  char buffer[kLongestLine + 1];
  while (std::fgets(buffer, sizeof buffer, report) != nullptr) {
    std::string line = buffer;
    if (!in_section && line.find("Decryption Log for Incomplete Encryption") == std::string::npos) continue;
    in_section = true;
    if (lines == kMostLines) {
      text += " ...";
      break;
    }
    // Only a line feed becomes CR LF: a cut or last line keeps its final character.
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      if (!line.empty() && line.back() == '\r') line.pop_back();
      line += "\r\n";
    }
    text += line;
    ++lines;
  }
  std::fclose(report);
  SetDlgItemText(IDC_REPORT_TEXT, text.c_str());
  not_recovered_ = 0;
}

void CReportDlg::OnReadToggled() {
  const BOOL read = IsDlgButtonChecked(IDC_REPORT_READ) == BST_CHECKED;
  GetDlgItem(IDC_REPORT_RECOVER)->EnableWindow(read);
  GetDlgItem(IDC_REPORT_COMPLETE)->EnableWindow(read);
}

void CReportDlg::OnRecoverFiles() {
  const unsigned char* key = key_;
  conversion::RecoverFileLists(
      this, {"MorvelSpecials.txt"}, kCaption,
      [this, key](const std::string& path) { return conversion::DecryptFileToCopy(key, path, this); },
      &not_recovered_);
  Box(this,
      not_recovered_ != 0 ? "Some files are not recovered.\r\nPlease contact the vendor for more help."
                          : "Files have been recovered.\r\nThe decrypted files have .H2K extension and are located in "
                            "the same folder as the original files.",
      kCaption, MB_OK);
}

void CReportDlg::OnComplete() { EndDialog(IDOK); }
