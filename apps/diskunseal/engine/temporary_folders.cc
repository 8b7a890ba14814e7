// The question before the rounds: the browser's cache and the Windows temporary folder emptied. "Cache" is the
// user's own setting; a value that names a drive's root or a folder of the system would empty far more than a cache.
#include <string>

#include "decryptor_run.h"
#include "setupcore.h"

namespace tavik::diskunseal {
namespace {

std::string Folded(std::string path) {
  while (!path.empty() && path.back() == '\\') path.pop_back();
  for (char& c : path) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return path;
}

bool IsDisposableFolder(const std::string& folder) {
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  const std::string path = Folded(folder);
  if (path.size() <= 2 || path[1] != ':' || path[2] != '\\') return false;  // a root, or no full path
  char windows[MAX_PATH] = {};
  char system[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, sizeof windows);
  GetSystemDirectoryA(system, sizeof system);
  for (const std::string& kept : {std::string(windows), std::string(system), std::string(conversion::kInstallFolder),
                                 std::string("C:\\Program Files"), std::string("C:\\Documents and Settings")}) {
    if (path == Folded(kept)) return false;
  }
  return true;
}

}  // namespace

void EmptyTemporaryFolders(CWnd* owner) {
  char cache[410] = {};
  if (getRegStrData(cache, sizeof cache, HKEY_CURRENT_USER,
                    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Cache") &&
      IsDisposableFolder(cache)) {
    emptyDirectory(cache);
  } else {
    conversion::Box(owner, "Warning:\r\nFailed to get IE cache folder.\r\nClick OK to continue.",
                    conversion::kCaption, MB_OK);
  }
  char windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  if (length != 0 && length < sizeof windows) emptyDirectory((std::string(windows) + "\\Temp").c_str());
}

}  // namespace tavik::diskunseal
