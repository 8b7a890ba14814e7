// The dialog class the framework tests run: a password and its confirmation (limited to 8 characters), a check
// box, a progress bar, a Start button whose handler works through five "files" pumping messages between them, and
// OK/Cancel. OnOK refuses mismatched or short passwords with a message box and keeps the dialog open.
#pragma once

#include <string>
#include <vector>

#include "afxcmn.h"
#include "afxwin.h"

namespace xp::mfc::testing {

inline constexpr UINT kSampleDialog = 300;
inline constexpr UINT kCloseProofDialog = 301;
enum SampleControl { kPassword = 1000, kConfirm = 1001, kRemember = 1002, kProgress = 1003, kStart = 1004 };

class CSampleDlg : public CDialog {
 public:
  explicit CSampleDlg(UINT nIDTemplate = kSampleDialog, CWnd* pParent = nullptr) : CDialog(nIDTemplate, pParent) {}

  BOOL OnInitDialog() override;

  CString m_password;
  BOOL m_remember = FALSE;
  int files_done = 0;
  bool cancelled = false;
  std::vector<std::string> handled;  // the handlers run, in order

 protected:
  void OnOK() override;
  void OnCancel() override;
  afx_msg void OnStart();
  afx_msg void OnPasswordFull();

 private:
  bool busy_ = false;

  DECLARE_MESSAGE_MAP()
};

// The same dialog with its close box ignored, as a dialog that must not be closed mid-way does.
class CCloseProofDlg : public CSampleDlg {
 public:
  CCloseProofDlg() : CSampleDlg(kCloseProofDialog) {}

 protected:
  afx_msg void OnClose();
  afx_msg void OnStart();  // replaces the base class's handler

  DECLARE_MESSAGE_MAP()
};

}  // namespace xp::mfc::testing
