// The install as the setup benches find it: its key phases done on the machine (token bound, password and S1 set,
// key records written), so that the encryption passes can run, and a view of the install that shows nothing.
#pragma once

#include <string>

#include "install/install_view.h"

namespace bench {

class SilentView : public tavik::diskseal::InstallView {
 public:
  CWnd* Window() override { return nullptr; }
  std::string Password() override { return kPassword; }
  void AppendText(const std::string&) override {}
  void ShowCurrentFile(const std::string&) override {}
  void ShowProgressBar(bool) override {}
  void StartProgress(uint16_t) override {}
  void StepProgress() override {}
  void EnterEncryptionLook() override {}

  static constexpr char kPassword[] = "secret12";
};

// The fresh installation's registry, the install folder with its lists ("C:\Program Files\Quillmarsh" left
// plain), the token bound with its password and S1, the key records, and the install state after the key phases.
void PrepareInstall();

// Deletes both conversion histories and their backups, so that the next pass converts the whole tree again.
void ForgetConversions();

}  // namespace bench
