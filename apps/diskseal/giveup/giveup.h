// The give-up of an incomplete install: every file the install's history (MRVENCHS) names is decrypted again, each
// committed in the decryption history (MRVDECHS) before its encrypted copy goes, so a crash at any point resumes
// without decrypting a file twice; then the install is taken out of the machine and a report with the key is left
// for the files that stayed encrypted.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "conversion.h"
#include "diskseal_private.h"
#include "install/install_view.h"

namespace tavik::diskseal {

// The table of the give-up's file results.
const conversion::ResultTable& GiveUpResults();

class GiveUp {
 public:
  // `key`: the XCFK buffer (33 bytes) and `key_text` the key's 32 hex digits, both filled by `prepare_key`.
  GiveUp(InstallView* view, std::function<bool()> prepare_key, const unsigned char* key, const char* key_text);
  ~GiveUp();
  GiveUp(const GiveUp&) = delete;
  GiveUp& operator=(const GiveUp&) = delete;

  // The whole give-up; the exit code of the process.
  int Run();

 private:
  // False (after a box asking for a restart) while the driver may still run: the logon component is put back
  // first, so that the next start sees the disk as it is.
  bool DriverInactive();
  void LoadHistory();
  void SettleDecryptionLeftovers();
  void DecryptListedFiles();
  void SettleInstallLeftovers();
  void RestoreWindowsLogon();
  bool FilesFailed() const;
  void LogEvent(const std::string& text);
  void ListFailed(const std::string& path);
  void CloseStreams();

  InstallView* view_;
  CWnd* owner_;
  std::function<bool()> prepare_key_;
  const unsigned char* key_;
  const char* key_text_;
  conversion::History history_;
  conversion::ResultLog results_{[this](const std::string& line) { LogEvent(line); },
                                 [this](const std::string& path) { ListFailed(path); }};
  std::FILE* log_ = nullptr;
  std::FILE* specials_ = nullptr;
};

}  // namespace tavik::diskseal
