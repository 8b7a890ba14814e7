// The report dialog shown when a run left files encrypted: the log from its first decryption section on, and the
// recovery of the listed files into ".H2K" copies beside them; "Complete Decryption" lets the run go on.
#pragma once

#include <string>

#include "afxwin.h"

namespace tavik::diskunseal {

inline constexpr UINT kReportDialog = 139;
inline constexpr int kReportExplanation = 1037;
inline constexpr int kReportText = 1015;
inline constexpr int kReportRead = 1010;
inline constexpr int kCompleteDecryption = 1012;
inline constexpr int kRecoverFiles = 1014;
// The report shows this many lines of the log, then " ...".
inline constexpr int kReportLines = 400;

class CReportDlg : public CDialog {
 public:
  CReportDlg(CWnd* parent, unsigned int block_size, const unsigned char* xcfk);

 protected:
  BOOL OnInitDialog() override;
  afx_msg void OnReadClicked();
  afx_msg void OnComplete();
  afx_msg void OnRecoverFiles();

  DECLARE_MESSAGE_MAP()

 private:
  void LoadReport();
  int RecoverFile(const std::string& path);

  unsigned int block_size_;
  unsigned char xcfk_[33] = {};
  unsigned int not_recovered_ = 0;
};

}  // namespace tavik::diskunseal
