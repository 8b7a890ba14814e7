// The two decryption rounds: the first over every fixed drive in letter order, the second over the folders of
// MRVEFLST. A file is decrypted exactly when the driver protects it (the one protection routine decides, over the
// install's lists), never twice (the history), and each round ends in its checkpoint.
#include <algorithm>

#include "afxcmn.h"
#include "cipher_exports.h"
#include "decryptor_run.h"
#include "disk_state.h"
#include "removal.h"
#include "report_dlg.h"
#include "msvcrt.h"
#include "setupcore.h"

namespace tavik::diskunseal {
namespace {

using conversion::Stop;

constexpr char kFirstRoundList[] = "MorvelSpecials1.txt";
constexpr char kSecondRoundList[] = "MorvelSpecials2.txt";

bool IsPlainName(const std::string& path) {
  const std::string name = path.substr(path.rfind('\\'));
  for (const char* plain : {"\\desktop.ini", "\\index.dat", "\\usrClass.dat", "\\usrClass.dat.LOG"}) {
    if (_stricmp(name.c_str(), plain) == 0) return true;
  }
  return false;
}

bool InCRoot(const std::string& path) {
  return std::count(path.begin(), path.end(), '\\') <= 1 && (path[0] == 'c' || path[0] == 'C');
}

bool NonEmptyFile(const std::string& name) {
  const HANDLE file = CreateFileA(conversion::InstallFile(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(file, nullptr);
  CloseHandle(file);
  return size != 0 && size != INVALID_FILE_SIZE;
}

// A round's list of failed files must reach the disk before the round's checkpoint: a resumed run reads from it
// whether files failed, and a list lost to a power loss would end the run without the report and its key.
void KeepOnDisk(const char* list) {
  if (!conversion::FlushedToDisk(conversion::InstallFile(list))) Stop(std::string("Write file failure: ") + list);
}

}  // namespace

bool SpecialsListsHoldFiles() { return NonEmptyFile(kFirstRoundList) || NonEmptyFile(kSecondRoundList); }

int CDecryptor::Run::SearchAndDecrypt(const std::string& folder) {
  return conversion::WalkFolder(
      owner, folder, "Search & decrypt failure",
      [this](const std::string& sub_folder) { return isInList(sub_folder.c_str(), &no_decryption); },
      [this](const std::string& path) {
        if (InCRoot(path) || IsPlainName(path) || history.Contains(path) || !rules.IsProtected(path)) return;
        const size_t dot = path.rfind('.');
        if (dot != std::string::npos && path.find('\\', dot) == std::string::npos &&
            isInList(path.c_str() + dot, &bad_types)) {
          return;
        }
        if (isInList(path.c_str(), &bad_files)) return;
        pending.push_back(path);
        ++found;
      });
}

void CDecryptor::Run::DecryptPending(bool first_round) {
  total += found;
  CProgressCtrl* bar = ProgressBar();
  if (found != 0) {
    AppendProgressText("\r\nDecrypting ...");
    ShowProgressBar(true);
    if (bar != nullptr) {
      bar->SetRange32(0, static_cast<int>(found));
      bar->SetPos(0);
    }
  }
  std::vector<std::string> to_do;
  to_do.swap(pending);
  for (const std::string& path : to_do) {
    ShowCurrentFile(path);
    conversion::PumpMessages();
    const int result = conversion::ConvertFileInPlace(conversion::kDecryption, xcfk, path, owner, &history);
    if (result != conversion::kConverted) results.Handle(DecryptionTable(first_round), result, path);
    if (bar != nullptr) bar->OffsetPos(1);
    conversion::PumpMessages();
  }
  ShowProgressBar(false);
}

void CDecryptor::Run::FirstRound() {
  Debug("Start 1st round decryption.");
  AppendProgressText("\r\nInitializing for decryption ...");
  WriteFlagOrStop(decrypted_flag::kDecrypting, "Write failed for install Flag ");
  FreeDecryptionFiles();
  if (!InitDecryptionFiles()) Stop("initialization error");
  std::fputs("\n[Decryption Log (Section 1)]\n", log);
  PrepareKey("Error: unable to read Tavik's user memory area for S1", "Error: generate_cfk() error",
             "Invalid Data [001]");
  OpenSpecials(kFirstRoundList);
  for (const char letter : conversion::FixedDriveLetters()) {
    if (!pending.empty()) Stop("Decryption verify failure");
    freeRijndaleTempKey();
    generateNEFL();
    AppendProgressText(std::string("\r\nSearching ") + letter + " partition ...");
    found = 0;
    if (SearchAndDecrypt(std::string(1, letter) + ":") != 0) Stop("Decryption failure for scan 1");
    DecryptPending(/*first_round=*/true);
  }
  CloseSpecials();
  // A run resumed past this checkpoint learns from the disk which files this round left encrypted, and reports them
  // from the log.
  KeepOnDisk(kFirstRoundList);
  KeepOnDisk("MRVLOG");
  freeRijndaleTempKey();
  WriteCheckpoint(install_state::kFirstRoundDecrypted);
  Debug("End 1st round decryption.");
}

void CDecryptor::Run::SecondRound() {
  Debug("Start 2nd round decryption.");
  ShowCurrentFile("");
  AppendProgressText("\r\nScanning remaining files on C partition ...");
  ShowProgressBar(false);
  std::FILE* list = std::fopen(conversion::InstallFile("MRVEFLST").c_str(), "r");
  if (list == nullptr) Stop("Failed to Open Encryption Folder File");
  std::vector<std::string> folders;
  conversion::FolderLineReader reader(list);
  for (std::string folder; reader.Next(&folder);) folders.push_back(folder);
  std::fclose(list);
  if (reader.error() != nullptr) Stop(reader.error());
  PrepareKey("Read S1 from Tavik Failed", "Error: generate_cfk()", "Invalid Data [002]");
  if (!InitDecryptionFiles()) Stop("initialization error");
  std::fputs("\n[Decryption Log (Section 2)]\n", log);
  OpenSpecials(kSecondRoundList);
  // The driver protects every listed folder at once; the walk decides with all of them too.
  for (const std::string& folder : folders) rules.AddFolder(folder, policy::RuleKind::kInclusion);
  for (const std::string& folder : folders) {
    if (!pending.empty()) Stop("Decryption verify failure");
    freeRijndaleTempKey();
    if (!generateNEFL()) Stop("Generate NEFL failure");
    found = 0;
    if (SearchAndDecrypt(folder) != 0) Stop("Decryption failure for scan 1");
    DecryptPending(/*first_round=*/false);
  }
  CloseSpecials();
  KeepOnDisk(kSecondRoundList);
  Report();
  WriteCheckpoint(install_state::kSecondRoundDecrypted);
  Debug("End 2nd round decryption.");
}

void CDecryptor::Run::Report() {
  // The lists on the disk say whether files failed: a resumed round 2 starts with an empty list of its own.
  files_failed = results.error_count() != 0 || SpecialsListsHoldFiles();
  if (!files_failed) {
    conversion::DeleteInstallFiles({kFirstRoundList, kSecondRoundList});
    return;
  }
  // The report copies the whole log, which must be closed for it; nothing more is logged in this run.
  if (log != nullptr) std::fclose(log);
  log = nullptr;
  // The key must be on the disk before the token's record of it is erased.
  if (!conversion::WriteDecryptionReport(key_text, {"MorvelSpecials1.txt", "MorvelSpecials2.txt"},
                                         {"MorvelSpecials.txt"})) {
    Stop("Write decryption report failure.\r\nPlease make sure the disk has free space, then restart the "
         "uninstall.");
  }
  CReportDlg report(owner, kBlockSize, xcfk);
  report.DoModal();
}

}  // namespace tavik::diskunseal
