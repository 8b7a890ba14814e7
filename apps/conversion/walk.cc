// The walks: the fixed drives in letter order, and one folder tree's files in search order.
#include "conversion.h"

namespace tavik::conversion {

std::vector<char> FixedDriveLetters() {
  std::vector<char> letters;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const char root[] = {letter, ':', '\\', '\0'};
    if (GetDriveTypeA(root) == DRIVE_FIXED) letters.push_back(letter);
  }
  return letters;
}

int WalkFolder(CWnd* owner, const std::string& folder, const char* failure,
               const std::function<bool(const std::string&)>& skip_folder,
               const std::function<void(const std::string&)>& consider) {
  auto refuse = [owner, failure](int code) {
    Box(owner, std::string(failure) + " (error code: 00" + std::to_string(code) + ")", kCaption, MB_OK);
    return code;
  };
  if (folder.empty()) return refuse(1);
  if (folder.size() > kMaxPath) return refuse(2);
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int result = 0;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    if (path.size() > kMaxPath) {
      result = refuse(3);
    } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // A junction leads out of the tree (or back into it): its files are walked where they live.
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !skip_folder(path)) {
        result = WalkFolder(owner, path, failure, skip_folder, consider);
      }
    } else if (entry.nFileSizeLow != 0 || entry.nFileSizeHigh != 0) {
      consider(path);
    }
  } while (result == 0 && FindNextFileA(search, &entry));
  FindClose(search);
  return result;
}

}  // namespace tavik::conversion
