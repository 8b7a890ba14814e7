// Walking a folder tree: collecting the files of one type (the leftovers of an interrupted pass) and emptying a
// folder. Neither follows a junction or other reparse point, so neither reaches beyond the tree it was given.
#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

// The child path; a folder given with its trailing backslash ("X:\") does not get a second one.
std::string ChildPath(const std::string& folder, const char* name) {
  return (!folder.empty() && folder.back() == '\\') ? folder + name : folder + "\\" + name;
}

bool IsDotEntry(const char* name) { return std::string_view(name) == "." || std::string_view(name) == ".."; }

// A folder that cannot be searched (access denied, gone) has nothing to find.
char ScanFolder(DirFileList** list, const std::string& folder, std::string_view extension) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(ChildPath(folder, "*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  char result = 0;
  do {
    if (IsDotEntry(entry.cFileName)) continue;
    const std::string path = ChildPath(folder, entry.cFileName);
    if (path.size() > kMaxPathLength) {
      ShowMessage("Search & encrypt failure (error code: 003)");
      result = 3;
    } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) result = ScanFolder(list, path, extension);
    } else {
      const std::string_view name = entry.cFileName;
      const size_t dot = name.rfind('.');
      if (dot != std::string_view::npos && EqualsIgnoringCase(name.substr(dot), extension)) {
        const char added = add_to_list(path.c_str(), list);
        if (added != 0 && added != 2) result = 4;
      }
    }
  } while (result == 0 && FindNextFileA(search, &entry));
  FindClose(search);
  return result;
}

void EmptyFolder(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(ChildPath(folder, "*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (IsDotEntry(entry.cFileName)) continue;
    const std::string path = ChildPath(folder, entry.cFileName);
    if (path.size() > kMaxPathLength) continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // A junction is removed as a link; what it points to stays.
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) EmptyFolder(path);
      RemoveDirectoryA(path.c_str());
    } else {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore. `extension` includes its dot (".H1K") and is compared ignoring case.
char scan4Type(DirFileList** list, const char* folder, const char* extension) {
  using tavik::setupcore::ShowMessage;
  if (folder == nullptr) {
    ShowMessage("Scan disk failure (error code: 001)");
    return 1;
  }
  if (std::string_view(folder).size() > tavik::setupcore::kMaxPathLength) {
    ShowMessage("Scan disk failure (error code: 002)");
    return 2;
  }
  return tavik::setupcore::ScanFolder(list, folder, extension);
}

// Exported by setupcore. Deletes everything inside the folder (failures ignored); the folder itself stays.
int emptyDirectory(const char* folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(tavik::setupcore::ChildPath(folder, "*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  FindClose(search);
  tavik::setupcore::EmptyFolder(folder);
  return 1;
}
