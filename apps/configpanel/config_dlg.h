// The settings dialog: one host edit per server, and one transport and one port shared by all four. Apply and OK
// write what differs from what was read; a read or write that fails ends the program after its box.
#pragma once

#include "afxwin.h"
#include "server_settings.h"

class CConfigPanelDlg : public CDialog {
 public:
  CConfigPanelDlg();
  // True when a box about a failed read or write ended the dialog.
  bool failed() const { return failed_; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  afx_msg void OnApply();
  afx_msg void OnHttps();
  afx_msg void OnHttp();
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
  afx_msg void OnPaint();

  DECLARE_MESSAGE_MAP()

 private:
  // Each returns the failure's text, or nullptr.
  const char* LoadServerSettings();
  const char* ApplyServerSettings(int index);
  // The four applies in their order; false after a failure's box.
  bool ApplyAll();
  void ShowServer(int index);
  void Fail(const char* text);

  HICON icon_;
  tavik::configpanel::ServerRecord records_[tavik::configpanel::kServerCount];
  bool failed_ = false;
};
