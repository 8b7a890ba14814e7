// The engine's lists and streams: the installer's bad types and names, the history, the plain-left files and the
// non-encryption folders loaded once per process, the three append streams, and the second pass's folder list
// MRVEFLST made from the Windows temporary folder and the user's own list.
#include "diskseal_private.h"
#include "conversion.h"
#include "install/init_encrypt.h"

using tavik::diskseal::Box;
using tavik::diskseal::InstallFile;
using tavik::diskseal::kCaption;

namespace {

using tavik::conversion::MakeUnbuffered;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Moves the list's paths into `set`; the list is freed.
void MoveInto(DirFileList** list, tavik::conversion::PathSet* set) {
  for (DirFileList* node = *list; node != nullptr; node = node->next) set->Add(node->name);
  free_all_dir_file_list(*list);
  *list = nullptr;
}

}  // namespace

bool CInitEncrypt::InitEncryptionFiles() {
  if (lists_loaded_) return true;
  CWnd* owner = owner_->Window();
  auto fail = [owner](const char* code) {
    Box(owner, std::string("Error: initialization failed (error code ") + code + ").", kCaption, MB_OK);
    return false;
  };
  if (!_init_list(InstallFile("_MRVBADFTYPES").c_str(), &bad_types_)) return fail("001");
  if (!_init_list(InstallFile("_MRVBADFNAMES").c_str(), &bad_names_)) return fail("002");

  const std::string history = InstallFile("MRVENCHS");
  switch (history_.LoadFrom(history, InstallFile("_MRVENCHIST.BAK"))) {
    case tavik::conversion::History::Load::kLoaded:
      break;
    case tavik::conversion::History::Load::kRestoredFromBackup:
      Box(owner, "A corrupted encryption history file has been restored.", kCaption, MB_OK);
      break;
    case tavik::conversion::History::Load::kBackupNotRestored:
      Box(owner, "unable to restore encryption history file.", kCaption, MB_OK);
      return false;
    case tavik::conversion::History::Load::kUnreadable:
      return fail("005");
  }
  if (!history_.Open(history)) return fail("006");

  const std::string bad_files = InstallFile("MRVBADFILES");
  if (Exists(bad_files)) {
    DirFileList* loaded = nullptr;
    if (!_init_list(bad_files.c_str(), &loaded)) {
      free_all_dir_file_list(loaded);
      return fail("008");
    }
    for (DirFileList* node = loaded; node != nullptr; node = node->next) rules_.AddException(node->name);
    MoveInto(&loaded, &bad_files_);
  }
  bad_files_stream_ = std::fopen(bad_files.c_str(), "a");
  if (bad_files_stream_ == nullptr) return fail("009");
  MakeUnbuffered(owner, bad_files_stream_, "fpBadMet");

  if (!generateNEFL()) return fail("010");
  const std::string non_encryption = InstallFile("MRVNEFLI");
  if (Exists(non_encryption) && !_init_list(non_encryption.c_str(), &non_encryption_)) return fail("012");
  for (DirFileList* node = non_encryption_; node != nullptr; node = node->next) {
    rules_.AddFolder(node->name, tavik::policy::RuleKind::kExclusion);
  }

  log_stream_ = std::fopen(InstallFile("MRVLOG").c_str(), "a");
  if (log_stream_ == nullptr) return fail("014");
  MakeUnbuffered(owner, log_stream_, "fpLog");
  lists_loaded_ = true;
  return true;
}

void CInitEncrypt::FreeEncryptionFiles() {
  for (DirFileList** list : {&bad_names_, &bad_types_, &non_encryption_}) {
    free_all_dir_file_list(*list);
    *list = nullptr;
  }
  history_.Clear();
  bad_files_.Clear();
  rules_.Clear();
  to_do_.clear();
  for (std::FILE** stream : {&bad_files_stream_, &log_stream_}) {
    if (*stream != nullptr) std::fclose(*stream);
    *stream = nullptr;
  }
  lists_loaded_ = false;
}

bool CInitEncrypt::GenerateEfl() {
  CWnd* owner = owner_->Window();
  std::FILE* out = std::fopen(InstallFile("MRVEFLST").c_str(), "w");
  if (out == nullptr) {
    Box(owner, "Error: generate EFL failed (error code 002).", kCaption, MB_OK);
    return false;
  }
  MakeUnbuffered(owner, out, "fp");
  auto refuse = [owner, out](const char* text) {
    std::fclose(out);
    Box(owner, text, kCaption, MB_OK);
    return false;
  };
  char windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  const std::string temp = std::string(windows, length) + "\\Temp";
  if (length == 0 || temp.size() > tavik::diskseal::kMaxPath) {
    return refuse("Error: generate EFL failed (error code 004).");
  }
  std::fprintf(out, "%s\n", temp.c_str());
  if (std::FILE* mine = std::fopen(InstallFile("_MRVMYEFL").c_str(), "r")) {
    tavik::conversion::FolderLineReader reader(mine);
    std::string folder;
    while (reader.Next(&folder)) std::fprintf(out, "%s\n", folder.c_str());
    std::fclose(mine);
    if (reader.error() != nullptr) return refuse(reader.error());
  }
  std::fflush(out);
  std::fclose(out);
  if (!tavik::diskseal::FlushedToDisk(InstallFile("MRVEFLST"))) {
    Box(owner, "Error: generate EFL failed (error code 002).", kCaption, MB_OK);
    return false;
  }
  return true;
}
