// The engine's side of the main dialog and of the token: progress texts, the current file, the progress bar, the
// boxes and message dialogs, the debug lines, and the checks that the bound token is inserted and the machine fit.
#include "afxcmn.h"
#include "decryptor_run.h"
#include "disk_state.h"
#include "esn_text.h"
#include "message_dlg.h"
#include "setupcore.h"
#include "tokenio.h"

namespace tavik::diskunseal {

void CDecryptor::Run::AppendProgressText(const std::string& text) {
  if (owner == nullptr) return;
  auto* edit = static_cast<CEdit*>(owner->GetDlgItem(kProgressText));
  if (edit == nullptr) return;
  const int end = edit->GetWindowTextLength();
  edit->SetSel(end, end);
  edit->ReplaceSel(text.c_str());
}

void CDecryptor::Run::ShowCurrentFile(const std::string& path) {
  if (owner != nullptr) owner->SetDlgItemText(kCurrentFile, path.c_str());
}

CProgressCtrl* CDecryptor::Run::ProgressBar() {
  return owner == nullptr ? nullptr : static_cast<CProgressCtrl*>(owner->GetDlgItem(kProgressBar));
}

void CDecryptor::Run::ShowProgressBar(bool visible) {
  if (CProgressCtrl* bar = ProgressBar()) bar->ShowWindow(visible ? SW_SHOW : SW_HIDE);
}

void CDecryptor::Run::ShowMessage(const std::string& text, const std::string& caption, const std::string& button) {
  ShowMessageDlg(owner, text, caption, button);
}

int CDecryptor::Run::Ask(const std::string& text, const std::string& caption, UINT type) {
  return conversion::Box(owner, text, caption, type);
}

void CDecryptor::Run::Debug(const std::string& text) {
  conversion::AppendToFile(conversion::InstallFile("_mrvDebugInfo.txt"), "\n[Decrypting] ", conversion::Stamp() + text);
}

bool CDecryptor::Run::CheckEsnMatch() {
  unsigned char area[256] = {};
  if (!GetESN(area)) {
    ShowMessage("Please insert your Tavik.\r\nIf it's already inserted, please unplug it and reinsert it.",
                kUninstallCaption);
    return false;
  }
  const std::string inserted = EsnText(area, 128);
  if (inserted.size() != kEsnLength) {
    ShowMessage("An Error encountered.\r\nESN should be 8-digits.", kUninstallCaption);
    return false;
  }
  char bound[129] = {};
  if (!getRegStrData(bound, sizeof bound, HKEY_LOCAL_MACHINE, kFlagKey, "ESN")) {
    ShowMessage("Read ESN from registry failure.", kUninstallCaption);
    return false;
  }
  if (inserted != bound) {
    ShowMessage(std::string("Wrong Tavik Inserted.\r\nPlease insert Tavik with this ESN#: ") + bound,
                kUninstallCaption);
    return false;
  }
  return true;
}

void CDecryptor::Run::CheckEsnOrStop(int tries) {
  for (int i = 0; i < tries; ++i) {
    if (CheckEsnMatch()) return;
  }
  conversion::Stop("Please insert the correct Tavik.\r\nReboot your machine to fininsh decryption.");
}

bool CDecryptor::Run::InitialCheck() {
  constexpr char kCheckCaption[] = "Initial Check Error";
  const char systems = check_multiple_os();
  if (systems == 3) {
    ShowMessage("Your machine has more than one OS installed.", kCheckCaption);
    return false;
  }
  if ((systems == 1 || systems == 2) &&
      Ask("Do you want to continue Quillmarsh Tavik Uninstall?\r\nImportant: Quillmarsh Tavik does not support "
          "multiple OS.\r\nClick [Yes] if you has only one OS on your machine.",
          conversion::kCaption, MB_YESNO) != IDYES) {
    ShowMessage("Check Single OS Failed.\r\nYou decided to exit Quillmarsh Tavik uninstall.", kCheckCaption);
    return false;
  }
  if (all_nubo_info_exist() != 0) {
    ShowMessage("Some Important Information Lost", kCheckCaption);
    return false;
  }
  return true;
}

}  // namespace tavik::diskunseal
