// The main dialog of the second start: the user proves the right to the disk with the token and its password, or
// with a Key Answer typed by hand, three attempts in all; then the decryption engine takes its controls over.
#pragma once

#include <string>

#include "afxwin.h"

namespace tavik::diskunseal {

class CDecryptor;

class CDiskunsealDlg : public CDialog {
 public:
  explicit CDiskunsealDlg(CWnd* parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  afx_msg void OnWithToken();
  afx_msg void OnWithKeyAnswer();
  afx_msg void OnPasswordFull();
  afx_msg void OnContinue();
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);

  DECLARE_MESSAGE_MAP()

 private:
  void OnUnInstall();
  void OnKeyAnswer();
  bool CheckEsnMatch();
  // One attempt used; the last one reboots the machine.
  void UseAttempt();
  void RebootAfter(const char* text);
  void EnableMethod(bool with_token);
  void SwitchToProgressView();
  [[noreturn]] void StartEngine(CDecryptor& engine);

  HICON icon_;
  int attempts_ = 3;
};

}  // namespace tavik::diskunseal
