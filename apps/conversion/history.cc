// The histories' loading and durable appends, and the settlement of what a crash left in flight: a committed file
// loses its stale temporary copy, an uncommitted one gets its old content back.
#include "history.h"

#include "conversion.h"
#include "msvcrt.h"
#include "setupcore.h"

namespace tavik::conversion {
namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Whether `file` holds more bytes than `copy`. A conversion keeps a file's length, so a file longer than its
// temporary copy was never in flight: the two are files of the user's that only share a name's stem.
bool LongerThan(const std::string& file, const std::string& copy) {
  WIN32_FIND_DATAA file_data = {};
  WIN32_FIND_DATAA copy_data = {};
  const HANDLE file_find = FindFirstFileA(file.c_str(), &file_data);
  if (file_find == INVALID_HANDLE_VALUE) return false;
  FindClose(file_find);
  const HANDLE copy_find = FindFirstFileA(copy.c_str(), &copy_data);
  if (copy_find == INVALID_HANDLE_VALUE) return false;
  FindClose(copy_find);
  const auto size = [](const WIN32_FIND_DATAA& data) {
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  };
  return size(file_data) > size(copy_data);
}

}  // namespace

History::Load History::LoadFrom(const std::string& file, const std::string& backup) {
  if (!Exists(file) && !Exists(backup)) return Load::kLoaded;
  DirFileList* loaded = nullptr;
  unsigned int count = 0;
  const char code = _init_list_clean(file.c_str(), backup.c_str(), &loaded, &count);
  Load result = Load::kLoaded;
  if (code >= 4 && code <= 8) {
    // The backup holds every good line: it replaces the history, and only the bad line is lost.
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(file.c_str());
    result = MoveFileA(backup.c_str(), file.c_str()) ? Load::kRestoredFromBackup : Load::kBackupNotRestored;
  } else if (code != 0) {
    result = Load::kUnreadable;
  }
  if (result == Load::kLoaded || result == Load::kRestoredFromBackup) {
    for (DirFileList* node = loaded; node != nullptr; node = node->next) paths_.Add(node->name);
  }
  free_all_dir_file_list(loaded);
  return result;
}

bool History::Open(const std::string& file) {
  Close();
  file_ =
      CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return false;
  if (SetFilePointer(file_, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
    Close();
    return false;
  }
  return true;
}

bool History::Commit(const std::string& path) {
  if (file_ == INVALID_HANDLE_VALUE) return false;
  const std::string line = path + "\r\n";
  DWORD written = 0;
  if (!WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) || written != line.size()) {
    return false;
  }
  if (durable_ && !FlushFileBuffers(file_)) return false;
  paths_.Add(path);
  return true;
}

void History::Close() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

void History::Clear() {
  Close();
  paths_.Clear();
}

LeftoverAction DecideLeftover(const PathSet* own_files, const PathSet* committed, const std::string& temporary,
                              const std::string& file) {
  if (own_files != nullptr && own_files->Contains(temporary)) return LeftoverAction::kKeepUserFile;
  if (committed != nullptr && committed->Contains(file)) return LeftoverAction::kDeleteTemporary;
  return LeftoverAction::kPutBackOld;
}

void SettleLeftovers(const char* suffix,
                     const std::function<LeftoverAction(const std::string&, const std::string&)>& decide,
                     const std::function<void(const std::string&, const std::string&)>& rename_failed) {
  for (const char letter : FixedDriveLetters()) {
    DirFileList* found = nullptr;
    const std::string drive = std::string(1, letter) + ":";
    if (scan4Type(&found, drive.c_str(), suffix) != 0) {
      free_all_dir_file_list(found);
      Stop("Initial hard drive cleaning failed.");
    }
    for (DirFileList* node = found; node != nullptr; node = node->next) {
      const std::string temporary = node->name;
      const size_t dot = temporary.rfind('.');
      const char* error = nullptr;
      if (temporary.size() > kMaxPath) {
        error = "Initial hard drive cleaning failed:\tdata overflow";
      } else if (dot == std::string::npos || _stricmp(temporary.c_str() + dot, suffix) != 0) {
        error = "Initial hard drive cleaning failed:\tincorrect file type";
      }
      if (error != nullptr) {
        free_all_dir_file_list(found);
        Stop(error);
      }
      const std::string file = temporary.substr(0, dot);
      switch (decide(temporary, file)) {
        case LeftoverAction::kKeepUserFile:
          break;
        case LeftoverAction::kDeleteTemporary:
          SetFileAttributesA(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(temporary.c_str());
          break;
        case LeftoverAction::kPutBackOld:
          if (LongerThan(file, temporary)) break;
          SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(file.c_str());
          if (!MoveFileA(temporary.c_str(), file.c_str())) rename_failed(temporary, file);
          break;
      }
    }
    free_all_dir_file_list(found);
  }
}

}  // namespace tavik::conversion
