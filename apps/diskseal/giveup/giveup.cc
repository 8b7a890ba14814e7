// The give-up's run, step by step. Its order keeps every crash resumable: the flag "5" is set before the first
// file, so that a later start resumes the decryption and never the install; the report holds the key, and the flag
// "1" is written, before the token's S1 is erased, which a resumed decryption would need.
#include "giveup/giveup.h"

#include <cstring>

#include "afxwin.h"
#include "dialogs/report_dlg.h"
#include "msvcrt.h"
#include "removal.h"
#include "setupcore.h"
#include "tokenio.h"

namespace tavik::diskseal {
namespace {

namespace flag = tavik::decrypted_flag;

constexpr char kSectionLine[] = "$$$$$ Decryption Log for Incomplete Encryption $$$$$";
constexpr char kSpecials[] = "MorvelSpecials.txt";
constexpr char kRestartFirst[] =
    "Quillmarsh Tavik is still active on this machine, so its files cannot be decrypted now.\r\nThe Windows logon "
    "has been put back. Please restart your computer and log on,\r\nthen the decryption will continue.";
constexpr char kFlagOpenError[] = "Uninstall Flag Read Failure.\r\nPlease call Quillmarsh for help.";
constexpr char kFlagWriteError[] = "Uninstall Flag Write Failure.\r\nPlease call Quillmarsh for help.";
constexpr char kVerifyProgram[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\MRVVerifyCFK.exe";

constexpr conversion::HandOverTexts kHandOver = {
    "Your hard drive(s) has been decrypted.\r\nIn the event that some files did not decrypt, you may use the\r\nFile "
    "Recovery Tool to decrypt them.\r\n\r\nDo you have undecrypted files need to be decrypted by File Recovery "
    "Tool?\r\nImportant: File recovery tool is the last chance to recover your files.\r\nClick [Yes] to launch "
    "File Recovery Tool.\r\nClikc [No] to remove all Quillmarsh Tavik components from your machine.",
    MB_ICONWARNING,
    "Your hard drive(s) has been decrypted.\r\nPlease click [OK] to remove Quillmarsh Tavik components\r\nfrom your "
    "machine.",
    MB_ICONINFORMATION,
    719,
};

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string RenameFailure(const std::string& temporary, const std::string& file) {
  return "Rename failure.\r\nPlease rename this file\r\n" + temporary + "\r\nto this file\r\n" + file;
}

}  // namespace

GiveUp::GiveUp(InstallView* view, std::function<bool()> prepare_key, const unsigned char* key, const char* key_text)
    : view_(view), owner_(view->Window()), prepare_key_(std::move(prepare_key)), key_(key), key_text_(key_text) {}

GiveUp::~GiveUp() { CloseStreams(); }

void GiveUp::CloseStreams() {
  for (std::FILE** stream : {&log_, &specials_}) {
    if (*stream != nullptr) std::fclose(*stream);
    *stream = nullptr;
  }
  history_.Close();
}

void GiveUp::LogEvent(const std::string& text) {
  if (log_ == nullptr) return;
  if (std::fputs(LogLine(text).c_str(), log_) < 0 || std::fflush(log_) != 0) Stop("Write log file failure.");
}

void GiveUp::ListFailed(const std::string& path) {
  // A file missing from the list would never be reported or recovered.
  if (std::fprintf(specials_, "%s\n", path.c_str()) < 0 || std::fflush(specials_) != 0) {
    Stop("Write file failure: " + std::string(kSpecials));
  }
}

bool GiveUp::DriverInactive() {
  if (!conversion::DriverMayBeActive()) return true;
  if (!setWinLogonKey("GinaDLL", "msgina.dll")) Box(owner_, "Failed to reset Gina.", kCaption, MB_OK | MB_ICONERROR);
  Box(owner_, kRestartFirst, kCaption, MB_OK | MB_ICONWARNING);
  return false;
}

void GiveUp::LoadHistory() {
  const std::string history = InstallFile("MRVDECHS");
  const bool existed = Exists(history);
  switch (history_.LoadFrom(history, InstallFile("_MRVDECHIST.BAK"))) {
    case conversion::History::Load::kLoaded:
      break;
    case conversion::History::Load::kRestoredFromBackup:
      ShowMessageDlg(owner_, "A corrupted decryption history file has been restored.");
      break;
    case conversion::History::Load::kBackupNotRestored:
      Stop("unable to restore decryption history file.");
    case conversion::History::Load::kUnreadable:
      Stop("Decryption initialization failure for incomplete install (error code 002).");
  }
  if (!existed) view_->AppendText("\r\nNo file decrypted last time ...");
}

// A ".H0K" whose file the decryption history commits is a stale encrypted copy; any other is put back, so an
// interrupted decryption leaves the ciphertext under its name. A copy that cannot be put back stops the run before
// any file is decrypted: its file's content is only in the copy.
void GiveUp::SettleDecryptionLeftovers() {
  const conversion::PathSet& done = history_.paths();
  bool failed = false;
  conversion::SettleLeftovers(
      conversion::kDecryption.suffix,
      [&done](const std::string& temporary, const std::string& file) {
        return conversion::DecideLeftover(nullptr, &done, temporary, file);
      },
      [this, &failed](const std::string& temporary, const std::string& file) {
        Box(owner_, RenameFailure(temporary, file) + "\r\nthen click OK.", kCaption, MB_OK);
        failed = true;
      });
  if (failed) Stop("Initial hard drive cleaning failed.");
}

void GiveUp::DecryptListedFiles() {
  const std::string list = InstallFile("MRVENCHS");
  std::FILE* in = std::fopen(list.c_str(), "r");
  if (in == nullptr) {
    // Only a missing history means the install encrypted nothing.
    if (Exists(list)) Stop("Decryption initialization failure for incomplete install (error code 005).");
    return;
  }
  // Every line is checked before the first file is touched.
  std::vector<std::string> paths;
  conversion::FolderLineReader reader(in, kMaxPath - 1);
  for (std::string path; reader.Next(&path);) paths.push_back(path);
  std::fclose(in);
  if (reader.error() != nullptr) Stop(reader.error());
  if (!paths.empty()) view_->StartProgress(static_cast<uint16_t>(std::min<size_t>(paths.size(), 0xFFFF)));

  WriteDecryptedFlagOrStop(flag::kUndoingInstall, kFlagOpenError, kFlagWriteError);
  Box(owner_,
      "Quillmarsh Tavik will temporarily shut down other running applications\r\nbefore decrypting your hard drive.",
      kCaption, MB_OK | MB_ICONINFORMATION);
  EnumProcs(MyProcessEnumerator, 0);
  specials_ = std::fopen(InstallFile(kSpecials).c_str(), "w");
  if (specials_ == nullptr) Stop("Open file failure.");
  conversion::MakeUnbuffered(owner_, specials_, "fpSpecials");

  for (const std::string& path : paths) {
    if (!bFileExists(path.c_str())) {
      LogEvent("Warning[D1]: " + path + " not exists.");
      continue;
    }
    // Also a path the list names twice: a decrypted file is never decrypted again.
    if (!history_.Contains(path)) {
      view_->ShowCurrentFile(path);
      conversion::PumpMessages();
      const int result = conversion::ConvertFileInPlace(conversion::kDecryption, key_, path, owner_, &history_);
      if (result != conversion::kConverted) results_.Handle(GiveUpResults(), result, path);
    }
    view_->StepProgress();
  }
  std::fclose(specials_);
  specials_ = nullptr;
}

// What the interrupted install left in flight: a ".H1K" whose file the install committed is its stale plain copy,
// and one the install history names is a file of the user's that the install encrypted (and the give-up decrypted).
void GiveUp::SettleInstallLeftovers() {
  const std::string list = InstallFile("MRVENCHS");
  conversion::History install;
  install.LoadFrom(list, InstallFile("_MRVENCHIST.BAK"));
  const conversion::PathSet& encrypted = install.paths();
  conversion::SettleLeftovers(
      conversion::kEncryption.suffix,
      [&encrypted](const std::string& temporary, const std::string& file) {
        return conversion::DecideLeftover(&encrypted, &encrypted, temporary, file);
      },
      [this](const std::string& temporary, const std::string& file) {
        LogEvent(RenameFailure(temporary, file) + "\r\n");
        results_.Count(GiveUpResults());
      });
}

void GiveUp::RestoreWindowsLogon() {
  if (!setWinLogonKey("GinaDLL", "msgina.dll")) Box(owner_, "Failed to reset Gina.", kCaption, MB_OK | MB_ICONERROR);
  const char* severe = nullptr;
  if (!removeWinLogOnRegData(kVerifyProgram)) {
    severe =
        "Severe Error:\r\nSet registry data failure.\r\nPlease DO NOT shut down your machine and contact\r\nthe "
        "Software vendor for help.";
  } else if (checkUserInit() != 0) {
    severe =
        "Severe Error:\r\nYour registry data is not correct.\r\nPlease DO NOT shut down your machine and "
        "contact\r\nthe Software vendor for help.";
  }
  if (severe == nullptr) return;
  Box(owner_, severe, kCaption, MB_OK | MB_ICONERROR);
  CloseStreams();
  ExitProcess(1);
}

// Read from the list on disk: a failure this run did not count (a leftover's rename) still leaves a report.
bool GiveUp::FilesFailed() const {
  if (results_.error_count() > 0) return true;
  std::FILE* list = std::fopen(InstallFile(kSpecials).c_str(), "r");
  if (list == nullptr) return false;
  const bool listed = std::fgetc(list) != EOF;
  std::fclose(list);
  return listed;
}

int GiveUp::Run() {
  try {
    if (owner_ != nullptr) owner_->BeginWaitCursor();
    view_->ShowProgressBar(false);
    view_->AppendText("\r\nChecking Tavik ...");
    if (!CheckEsnFourTimes(owner_)) Stop("Maximum tries exceeded.");
    if (!DriverInactive()) return 1;

    log_ = std::fopen(InstallFile("MRVLOG").c_str(), "a");
    if (log_ == nullptr) Stop("Open file failure.");
    conversion::MakeUnbuffered(owner_, log_, "fpLog");
    LogEvent(kSectionLine);

    view_->AppendText("\r\nScanning files need to be restored ...");
    // The history first: the settlement deletes the stale copy of a committed file instead of putting it back.
    LoadHistory();
    SettleDecryptionLeftovers();
    view_->AppendText("\r\nScanning files for decryption ...");
    if (!history_.Open(InstallFile("MRVDECHS"))) {
      Stop("Decryption initialization failure for incomplete install (error code 003).");
    }
    if (!prepare_key_()) Stop("Decryption initialization failure for incomplete install (error code 004).");

    view_->AppendText("\r\nDecrypting, please wait ...");
    results_.Reset();
    DecryptListedFiles();
    view_->ShowProgressBar(true);
    history_.Close();

    view_->AppendText("\r\nCleaning up system ...");
    conversion::RestartDesktop();
    conversion::RemoveProductRegistry({owner_, 0, kCaption, "Quillmarsh Tavik warning: open registry failure"});
    // Whatever state the install reached: a service left behind would load the driver at the next start.
    if (!conversion::RemoveDriverService()) Box(owner_, "Remove kernel failed.", kCaption, MB_OK | MB_ICONERROR);
    SettleInstallLeftovers();
    RestoreWindowsLogon();

    const bool failed = FilesFailed();
    CloseStreams();
    if (!failed) {
      conversion::DeleteInstallFiles({kSpecials});
    } else if (!conversion::WriteDecryptionReport(key_text_, {kSpecials},
                                                  {"MorvelSpecials1.txt", "MorvelSpecials2.txt"})) {
      Stop("The decryption report could not be written.\r\nYour Tavik keeps the key; please run the decryption "
           "again.");
    }
    // The flag first: a run stopped before it comes back in decrypt mode, which needs the token's S1. Only then,
    // with the key in the report, may the token forget it.
    WriteDecryptedFlagOrStop(flag::kDecrypted, kFlagOpenError, kFlagWriteError);
    if (cleanup_nubo_info() == 0) Box(owner_, "Clean up Tavik info failed.", kCaption, MB_OK | MB_ICONWARNING);
    view_->AppendText("\r\nDecryption Complete.");
    if (owner_ != nullptr) owner_->EndWaitCursor();
    if (failed) {
      CReportDlg report(owner_, key_);
      report.DoModal();
    }
    conversion::HandOver(owner_, failed, kHandOver);
    return 1;
  } catch (const InstallStop& stop) {
    CloseStreams();
    if (owner_ != nullptr) owner_->EndWaitCursor();
    ShowMessageDlg(owner_, stop.text, "CDisksealDlg::decUnFinishedHD", "OK");
    return 1;
  }
}

}  // namespace tavik::diskseal
