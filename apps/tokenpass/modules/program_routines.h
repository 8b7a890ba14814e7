// The program-wide routines of the form-based programs: their web-client settings, a topmost window, the locale
// check, small text files, and where the registration program lives.
#pragma once

#include <string>

#include "forms.h"
#include "windows.h"

// One string value of HKEY_LOCAL_MACHINE "SOFTWARE\Teradolm\Ferrowind\3.0.0"; "" after a message naming the code
// when the key or the value cannot be read.
std::u16string ReadWebClientSetting(const std::u16string& valueName);
// True when `setting` reads as the number 1 (the switches "SSL" and "testing"); any other text, the empty one
// included, is off.
bool SettingIsOne(const std::u16string& setting);

// Puts the window on top of every window (or back among them) at 0,0; raises "Window is not ontop" when it cannot.
void WinSetFloating(HWND hWnd, bool floating);

// True when the user's language is a Chinese one; false after a message when the locale cannot be read.
bool IsChineseLocale();

// mode 0: write text and a line end; 1: write text; 2: text := the first line ("" for an empty file);
// 3: append text and a line end; 4: append text. A missing file is made first. Returns text.
std::u16string TextFileIO(int mode, std::u16string text, const std::u16string& path);

// A line (mode 0: the first, emptying the file; 3: appended) of the debug file "C:\authenticate.txt", only while
// the "testing" setting reads as the number 1; the setting is read anew each time.
void DebugLine(int mode, const std::u16string& text);

// "C:\Program Files\Quillmarsh\Tavik\XP\tokenreg.exe".
std::u16string TokenRegPath();

// What form_resize keeps per form: its size at the last pass (0 until the first).
struct ResizeRecord {
  float last_height = 0;
  float last_width = 0;
};
// Scales every control of the form with the form's size since the last pass.
void form_resize(Form& form, ResizeRecord& record);
