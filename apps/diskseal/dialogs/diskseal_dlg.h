// The main dialog: the token password confirmed, then the progress of the install that its engine carries, or (in
// decrypt mode) of the give-up of an incomplete install. It is the engine's owner, and shows what the engine
// reports.
#pragma once

#include <string>

#include "afxcmn.h"
#include "afxwin.h"
#include "install/install_view.h"

class CDisksealDlg : public CDialog, public tavik::diskseal::InstallView {
 public:
  explicit CDisksealDlg(CWnd* parent = nullptr, bool decrypt_mode = false);

  // InstallView.
  CWnd* Window() override { return this; }
  std::string Password() override;
  void AppendText(const std::string& text) override;
  void ShowCurrentFile(const std::string& path) override;
  void ShowProgressBar(bool visible) override;
  void StartProgress(uint16_t upper) override;
  void StepProgress() override;
  void EnterEncryptionLook() override;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  afx_msg void OnClose();
  afx_msg void OnPasswordFull();

 private:
  bool VerifyOrBurnPassword();
  void ShowProgressControls();
  // The refusal of a machine with several systems; ends the process.
  void RefuseMultipleSystems();
  // The give-up of an incomplete install (giveup/): the key from the token's S1 into key_ and key_text_, checked
  // against the install's key records; then every file the install encrypted decrypted, the system removed and
  // the report shown. decUnFinishedHD ends the process.
  bool PrepareDecryptionKey();
  void decUnFinishedHD();

  bool decrypt_mode_;
  int tries_left_ = 3;
  unsigned int chunk_size_ = 0;
  unsigned char key_[33] = {};
  char key_text_[33] = {};

  DECLARE_MESSAGE_MAP()
};
