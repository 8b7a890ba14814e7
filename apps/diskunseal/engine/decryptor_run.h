// What one run of the uninstall's engine holds between its phases: the main dialog it drives, the key, the lists
// and streams of the decryption rounds and what the rounds found out.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "afxcmn.h"
#include "afxwin.h"
#include "conversion.h"
#include "decryptor.h"
#include "setupcore.h"

namespace tavik::diskunseal {

// diskunseal's one-button message dialog, through which its messages go.
inline constexpr UINT kMessageDialog = 137;
inline constexpr int kMessageText = 1008;
inline constexpr conversion::MessageDlgStyle kMessageStyle{kMessageDialog, kMessageText, 79, 299, 49};
// The main dialog's controls the engine drives.
inline constexpr int kPasswordEdit = 1000;
inline constexpr int kProgressBar = 1002;
inline constexpr int kProgressText = 1004;
inline constexpr int kCurrentFile = 1036;

inline constexpr char kUninstallCaption[] = "Quillmarsh Tavik Uninstall";
inline constexpr unsigned int kBlockSize = 0x10000;

struct CDecryptor::Run {
  CWnd* owner = nullptr;
  std::string esn;
  std::string password;
  bool key_answer = false;
  bool key_ready = false;
  unsigned char xcfk[33] = {};
  std::string key_text;

  // The rounds' lists and streams (loaded once per run).
  bool files_loaded = false;
  DirFileList* bad_types = nullptr;
  DirFileList* bad_files = nullptr;
  DirFileList* no_decryption = nullptr;
  conversion::History history;
  conversion::WalkRules rules;
  std::FILE* log = nullptr;
  std::FILE* specials = nullptr;
  std::vector<std::string> pending;
  unsigned int found = 0;
  unsigned int total = 0;
  bool files_failed = false;
  conversion::ResultLog results{[this](const std::string& line) { Log(line); },
                                [this](const std::string& path) { List(path); }};

  ~Run() { FreeDecryptionFiles(); }

  // The main dialog's controls.
  void AppendProgressText(const std::string& text);
  void ShowCurrentFile(const std::string& path);
  void ShowProgressBar(bool visible);
  CProgressCtrl* ProgressBar();
  void ShowMessage(const std::string& text, const std::string& caption = conversion::kCaption,
                   const std::string& button = "");
  int Ask(const std::string& text, const std::string& caption, UINT type);
  void Debug(const std::string& text);

  // The token and the key.
  bool CheckEsnMatch();
  void CheckEsnOrStop(int tries);
  bool InitialCheck();
  void PrepareKey(const char* no_s1, const char* no_cfk, const char* invalid);

  // The rounds.
  bool InitDecryptionFiles();
  void FreeDecryptionFiles();
  void RestoreLeftovers();
  void OpenSpecials(const char* name);
  void CloseSpecials();
  int SearchAndDecrypt(const std::string& folder);
  void DecryptPending(bool first_round);
  void FirstRound();
  void SecondRound();
  void Report();
  void Log(const std::string& line);
  void List(const std::string& path);

  // The removal and the end.
  void RemoveSystem();
  void CleanToken();
  void CleanDisk();
  [[noreturn]] void HandOver();
};

// A phase's checkpoint in the install state; a failed write stops the run.
void WriteCheckpoint(unsigned short checkpoint);
// The disk-state flag "Decrypted"; a flag key that does not open, or a value not written, stops the run.
void WriteFlagOrStop(const char* value, const char* write_failed);
// Empties the browser's cache (only when "Cache" names a real folder, never a drive's root or the Windows folder)
// and the Windows temporary folder.
void EmptyTemporaryFolders(CWnd* owner);
// Whether a specials list on the disk names a file: a resumed run's files failed in an earlier run.
bool SpecialsListsHoldFiles();

// The results' table of a round: its D-coded log lines, the files listed and counted, the stops.
const conversion::ResultTable& DecryptionTable(bool first_round);

}  // namespace tavik::diskunseal
