// The rounds' lists and streams, loaded once per run: the installer's bad types, the decryption history, the
// files and folders the driver leaves plain, and MRVLOG; and the restore of what a crash left in flight.
#include "decryptor_run.h"
#include "setupcore.h"

namespace tavik::diskunseal {
namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool CDecryptor::Run::InitDecryptionFiles() {
  if (files_loaded) return true;
  auto fail = [this](const char* code) {
    Ask(std::string("Error: initialization failed (error code ") + code + ").", conversion::kCaption, MB_OK);
    return false;
  };
  if (!_init_list(conversion::InstallFile("_MRVBADFTYPES").c_str(), &bad_types)) return fail("001");
  const std::string history_file = conversion::InstallFile("MRVDECHS");
  switch (history.LoadFrom(history_file, conversion::InstallFile("_MRVDECHIST.BAK"))) {
    case conversion::History::Load::kLoaded:
      break;
    case conversion::History::Load::kRestoredFromBackup:
      Ask("A corrupted decryption history file has been restored.", conversion::kCaption, MB_OK);
      break;
    case conversion::History::Load::kBackupNotRestored:
      Ask("unable to restore decryption history file.", conversion::kCaption, MB_OK);
      return false;
    case conversion::History::Load::kUnreadable:
      return fail("005");
  }
  const std::string bad_files_file = conversion::InstallFile("MRVBADFILES");
  if (Exists(bad_files_file) && !_init_list(bad_files_file.c_str(), &bad_files)) return fail("007");
  for (DirFileList* node = bad_files; node != nullptr; node = node->next) rules.AddException(node->name);
  if (!history.Open(history_file)) return fail("008");
  if (!generateNEFL()) return fail("009");
  const std::string no_decryption_file = conversion::InstallFile("MRVNEFLI");
  if (Exists(no_decryption_file) && !_init_list(no_decryption_file.c_str(), &no_decryption)) return fail("011");
  for (DirFileList* node = no_decryption; node != nullptr; node = node->next) {
    rules.AddFolder(node->name, policy::RuleKind::kExclusion);
  }
  log = std::fopen(conversion::InstallFile("MRVLOG").c_str(), "a");
  if (log == nullptr) return fail("014");
  conversion::MakeUnbuffered(owner, log, "fpLog");
  files_loaded = true;
  return true;
}

void CDecryptor::Run::FreeDecryptionFiles() {
  for (DirFileList** list : {&bad_types, &bad_files, &no_decryption}) {
    free_all_dir_file_list(*list);
    *list = nullptr;
  }
  history.Clear();
  rules.Clear();
  pending.clear();
  CloseSpecials();
  if (log != nullptr) std::fclose(log);
  log = nullptr;
  files_loaded = false;
}

void CDecryptor::Run::RestoreLeftovers() {
  Debug("Start restoring files.");
  AppendProgressText("\r\nScanning files to be restored ...");
  if (!InitDecryptionFiles()) conversion::Stop("initialization error");
  // A ".H0K" name that the install encrypted as a file of its own, or that this removal decrypted, is the user's.
  conversion::History encrypted;
  encrypted.LoadFrom(conversion::InstallFile("MRVENCHS"), conversion::InstallFile("_MRVENCHIST.BAK"));
  const conversion::PathSet& decrypted = history.paths();
  bool all_put_back = true;
  conversion::SettleLeftovers(
      conversion::kDecryption.suffix,
      [&](const std::string& temporary, const std::string& file) {
        if (encrypted.Contains(temporary)) return conversion::LeftoverAction::kKeepUserFile;
        return conversion::DecideLeftover(&decrypted, &decrypted, temporary, file);
      },
      [&](const std::string& temporary, const std::string& file) {
        all_put_back = false;
        Ask("Rename failure.\r\nPlease rename this file\r\n" + temporary + "\r\nto this file\r\n" + file +
                "\r\nthen click OK.",
            conversion::kCaption, MB_OK);
      });
  // A file left under its temporary name would be walked past and lost to the rounds.
  if (!all_put_back) conversion::Stop("Initial hard drive cleaning failed.");
  Debug("End restoring files.");
}

void CDecryptor::Run::OpenSpecials(const char* name) {
  CloseSpecials();
  specials = std::fopen(conversion::InstallFile(name).c_str(), "w");
  if (specials == nullptr) conversion::Stop("Open file failure.");
  conversion::MakeUnbuffered(owner, specials, "tempFp");
}

void CDecryptor::Run::CloseSpecials() {
  if (specials != nullptr) std::fclose(specials);
  specials = nullptr;
}

void CDecryptor::Run::Log(const std::string& line) {
  if (log == nullptr) return;
  std::fputs(conversion::LogLine(line).c_str(), log);
  std::fflush(log);
}

void CDecryptor::Run::List(const std::string& path) {
  if (specials == nullptr) return;
  std::fprintf(specials, "%s\n", path.c_str());
  std::fflush(specials);
}

}  // namespace tavik::diskunseal
