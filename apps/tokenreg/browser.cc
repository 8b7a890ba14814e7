// The browser hand-off. The association is found through a small ".HTM" file in the user's documents folder,
// deleted again in every case; a file of the user's own by that name is left alone (another name is taken).
#include "browser.h"

#include <cstring>

#include "forms.h"
#include "scrrun.h"
#include "shellapi.h"
#include "shlobj.h"
#include "windows.h"

std::u16string GetSpecialFolderPath(int csidl) {
  LPITEMIDLIST list = nullptr;
  if (SHGetSpecialFolderLocation(nullptr, csidl, &list) != S_OK) return {};
  std::string path(MAX_PATH, ' ');
  std::u16string result;
  if (SHGetPathFromIDListA(list, path.data())) result = TextOfAnsi(path.substr(0, path.find('\0')));
  LPMALLOC allocator = nullptr;
  if (SHGetMalloc(&allocator) == S_OK) allocator->Free(list);
  return result;
}

namespace {

std::u16string FreeTempFile(const FileSystemObject& fso) {
  std::u16string folder = GetSpecialFolderPath(CSIDL_PERSONAL);
  if (!folder.ends_with(u'\\')) folder += u'\\';
  std::u16string file = folder + u"temphtm.HTM";
  for (int n = 1; fso.FileExists(file); ++n) file = folder + u"temphtm" + CStr(n) + u".HTM";
  return file;
}

}  // namespace

void OpenUrlInBrowser(const std::u16string& url) {
  const FileSystemObject fso;
  const std::u16string file = FreeTempFile(fso);
  fso.CreateTextFile(file).WriteLine(u"\"<HTML> <\\HTML>\"");
  std::string program(MAX_PATH + 1, '\0');
  const INT_PTR found =
      reinterpret_cast<INT_PTR>(FindExecutableA(AnsiOf(file).c_str(), nullptr, program.data()));
  program.resize(std::strlen(program.c_str()));
  program.erase(0, program.find_first_not_of(' '));
  program.erase(program.find_last_not_of(' ') + 1);
  if (found <= 32) {
    MsgBox(u"Could not find associated Browser", MB_OK | MB_ICONEXCLAMATION, u"Browser Not Found");
  } else {
    // Quoted, the address is one argument, whatever it holds.
    const std::string parameters = "\"" + AnsiOf(url) + "\"";
    const INT_PTR started = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", program.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL));
    if (started <= 32) MsgBox(u"Web Page not Opened", MB_OK | MB_ICONEXCLAMATION, u"URL Failed");
  }
  DeleteFileA(AnsiOf(file).c_str());
}
