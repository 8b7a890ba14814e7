// The encryption history's durable appends, and the restore that settles what a crash left in flight: a committed
// file loses its stale plain copy, an uncommitted one gets its plain copy back.
#include "history_commit.h"

#include "diskseal_private.h"
#include "install/init_encrypt.h"
#include "msvcrt.h"

namespace tavik::diskseal {

bool HistoryLog::Open(const std::string& path) {
  Close();
  file_ =
      CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return false;
  if (SetFilePointer(file_, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
    Close();
    return false;
  }
  return true;
}

bool HistoryLog::Commit(const std::string& path) {
  if (file_ == INVALID_HANDLE_VALUE) return false;
  const std::string line = path + "\r\n";
  DWORD written = 0;
  if (!WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) || written != line.size()) {
    return false;
  }
  return !durable_ || FlushFileBuffers(file_);
}

void HistoryLog::Close() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

LeftoverAction DecideLeftover(const PathSet& done, const std::string& temporary, const std::string& file) {
  if (done.Contains(temporary)) return LeftoverAction::kKeepUserFile;
  if (done.Contains(file)) return LeftoverAction::kDeleteTemporary;
  return LeftoverAction::kPutBackPlain;
}

}  // namespace tavik::diskseal

using namespace tavik::diskseal;

void CInitEncrypt::RestoreTemporaryFiles() {
  StampDebugInfo("Start Restoring files.");
  AppendProgressText("\r\nScanning files need to be restored ...");
  if (!InitEncryptionFiles()) Stop("initialization error");
  for (const char letter : FixedDriveLetters()) {
    DirFileList* found = nullptr;
    const std::string drive = std::string(1, letter) + ":";
    if (scan4Type(&found, drive.c_str(), ".H1K") != 0) {
      free_all_dir_file_list(found);
      Stop("Initial hard drive cleaning failed.");
    }
    for (DirFileList* node = found; node != nullptr; node = node->next) {
      const std::string temporary = node->name;
      const size_t dot = temporary.rfind('.');
      const char* error = nullptr;
      if (temporary.size() > kMaxPath) {
        error = "Initial hard drive cleaning failed:\tdata overflow";
      } else if (dot == std::string::npos || _stricmp(temporary.c_str() + dot, ".H1K") != 0) {
        error = "Initial hard drive cleaning failed:\tincorrect file type";
      }
      if (error != nullptr) {
        free_all_dir_file_list(found);
        Stop(error);
      }
      const std::string file = temporary.substr(0, dot);
      switch (DecideLeftover(done_, temporary, file)) {
        case LeftoverAction::kKeepUserFile:
          break;
        case LeftoverAction::kDeleteTemporary:
          SetFileAttributesA(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(temporary.c_str());
          break;
        case LeftoverAction::kPutBackPlain:
          SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(file.c_str());
          if (!MoveFileA(temporary.c_str(), file.c_str())) {
            Box(owner_->Window(),
                "Rename failure.\r\nPlease rename this file\r\n" + temporary + "\r\nto this file\r\n" + file +
                    "\r\nthen click OK.",
                kCaption, MB_OK);
          }
          break;
      }
    }
    free_all_dir_file_list(found);
  }
  StampDebugInfo("End Restoring files.");
}
