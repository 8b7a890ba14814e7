// The search of the passes: a folder's files that the install must encrypt go to the to-do list, in search order.
// A file is encrypted exactly when the driver will protect it, decided by the routine the driver uses; files this
// install encrypted already are never taken again, and the installer's bad names and types stay plain and are
// listed as plain-left, so that the driver leaves them plain too.
#include "diskseal_private.h"
#include "install/init_encrypt.h"

using tavik::diskseal::Box;
using tavik::diskseal::kCaption;
using tavik::diskseal::kMaxPath;

int CInitEncrypt::SearchAndEncrypt(const std::string& folder) {
  CWnd* owner = owner_->Window();
  if (folder.empty()) {
    Box(owner, "Search & encrypt failure (error code: 001)", kCaption, MB_OK);
    return 1;
  }
  if (folder.size() > kMaxPath) {
    Box(owner, "Search & encrypt failure (error code: 002)", kCaption, MB_OK);
    return 2;
  }
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int result = 0;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    if (path.size() > kMaxPath) {
      Box(owner, "Search & encrypt failure (error code: 003)", kCaption, MB_OK);
      result = 3;
    } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // A junction leads out of the tree (or back into it): its files are searched where they live.
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !isInList(path.c_str(), &non_encryption_)) {
        result = SearchAndEncrypt(path);
      }
    } else if (entry.nFileSizeLow != 0 || entry.nFileSizeHigh != 0) {
      ConsiderFile(path);
    }
  } while (result == 0 && FindNextFileA(search, &entry));
  FindClose(search);
  return result;
}

void CInitEncrypt::ConsiderFile(const std::string& path) {
  if (done_.Contains(path) || !rules_.IsProtected(path)) return;
  const std::string name = path.substr(path.rfind('\\'));
  const size_t dot = path.rfind('.');
  const bool bad_type = dot != std::string::npos && isInList(path.c_str() + dot, &bad_types_);
  if (bad_type || isInList(name.c_str(), &bad_names_)) {
    ListAsBadFile(path);
    return;
  }
  to_do_.push_back(path);
  ++found_count_;
}
