// The topmost window and the locale check of the form-based programs.
#include "program_routines.h"

void WinSetFloating(HWND hWnd, bool floating) {
  // No SWP_NOMOVE: the window also goes to 0,0.
  if (!SetWindowPos(hWnd, floating ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE)) {
    Err.Raise(kErrInvalidCall, u"WinSetFloating", u"Window is not ontop");
  }
}

bool IsChineseLocale() {
  std::string name(1024, '\0');
  if (GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_SENGLANGUAGE, name.data(), static_cast<int>(name.size())) == 0) {
    MsgBox(u"Error reading locale information. Please contact Teradolm tech support.");
    return false;
  }
  return name.find("Chinese") != std::string::npos;
}

std::u16string TokenRegPath() { return u"C:\\Program Files\\Quillmarsh\\Tavik\\XP\\tokenreg.exe"; }
