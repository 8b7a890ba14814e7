// The encryption engine: one per install run, created by the main dialog once the password is confirmed. It carries
// the whole install (doMRVInstall) and the file-level work of the two encryption passes, and keeps each file's
// encryption committed in the history before its temporary copy goes, so that a crash never encrypts a file twice
// or loses one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "conversion.h"
#include "install_view.h"
#include "setupcore.h"

class CInitEncrypt {
 public:
  explicit CInitEncrypt(tavik::diskseal::InstallView* owner);
  ~CInitEncrypt();
  CInitEncrypt(const CInitEncrypt&) = delete;
  CInitEncrypt& operator=(const CInitEncrypt&) = delete;

  // The whole install, resumed from the recorded install state; every road ends the process.
  void doMRVInstall();
  // What doMRVInstall does before it ends the process with the result as exit code.
  int RunInstall();

  // ---- encryption_files.cc
  bool InitEncryptionFiles();
  void FreeEncryptionFiles();
  bool GenerateEfl();
  // ---- search.cc: 0, or 1..4 after a message.
  int SearchAndEncrypt(const std::string& folder);
  // ---- encrypt_file.cc: a tavik::conversion::ConvertResult.
  int EncryptFileInPlace(const std::string& path);
  // ---- passes.cc: raise a tavik::diskseal::InstallStop on a stop.
  void RunFirstPass();
  void RunSecondPass();
  // ---- history_commit.cc
  void RestoreTemporaryFiles();
  // The engine's hold on its window: progress text appended to the owner, and the window's messages pumped between
  // files so that the dialog stays responsive with no second thread.
  void AppendProgressText(const std::string& text) { owner_->AppendText(text); }
  void PumpMessages() { tavik::conversion::PumpMessages(); }

  // Durable commits flush each new file and its history line to the disk before the temporary copy goes. Always
  // on in the program; the benchmark measures their cost by turning them off.
  void set_durable_commits(bool durable) { history_.set_durable(durable); }
  // The XCFK the files are encrypted under, once the key is ready in this run.
  const unsigned char* key() const { return key_; }
  bool key_ready() const { return key_ready_; }
  // Fills the key buffer from the token, checked against the key records of the install (pass_key.cc).
  void PrepareKeyFromToken(const char* marker_error);

 private:
  // install_keys.cc: the phases that make S1 and the key records.
  void WriteTokenS1();
  void MakeKeyRecords();
  // The bound token inserted (four tries) and the typed password accepted by it, or a stop.
  void CheckTokenAndPassword();
  // install_registry.cc, driver_service.cc, final_phase.cc
  void WriteDriverRegistry();
  int RunFinalPhase();
  // passes.cc, encryption_results.cc
  void EncryptToDoList(bool first_pass);
  void HandleResult(int result, const std::string& path, bool first_pass);
  // search.cc
  void ConsiderFile(const std::string& path);
  // Lists a file the install leaves plain in MRVBADFILES (once), and as an exception of the walk's rules.
  void ListAsBadFile(const std::string& path);
  // install_log.cc
  void LogEvent(const std::string& text);

  tavik::diskseal::InstallView* owner_;
  unsigned char key_[33] = {};
  bool key_ready_ = false;

  DirFileList* bad_names_ = nullptr;
  DirFileList* bad_types_ = nullptr;
  DirFileList* non_encryption_ = nullptr;
  bool lists_loaded_ = false;
  tavik::conversion::PathSet bad_files_;
  tavik::conversion::WalkRules rules_;

  std::vector<std::string> to_do_;
  unsigned int found_count_ = 0;
  unsigned int total_found_ = 0;
  // Every path encrypted by this install: the history as loaded, and each file this process commits.
  tavik::conversion::History history_;
  tavik::conversion::ResultLog results_{[this](const std::string& line) { LogEvent(line); },
                                        [this](const std::string& path) { ListAsBadFile(path); }};
  std::FILE* bad_files_stream_ = nullptr;
  std::FILE* log_stream_ = nullptr;
};
