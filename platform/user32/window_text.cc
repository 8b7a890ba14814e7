// Window texts in A and W forms: a dialog's caption or a control's text, directly or by control ID. Each goes
// through the window's WM_SETTEXT / WM_GETTEXT, so an edit's selection and notifications follow as on XP.
#include "user32_private.h"

namespace {

// Empties the caller's buffer of a failed read, as a read of nothing would.
template <typename Char>
UINT EmptyBuffer(Char* text, int max_count) {
  if (text != nullptr && max_count > 0) text[0] = 0;
  return 0;
}

}  // namespace

// Exported by user32.
extern "C" BOOL SetWindowTextA(HWND window, LPCSTR text) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return static_cast<BOOL>(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

// Exported by user32.
extern "C" BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return static_cast<BOOL>(SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

// Exported by user32.
extern "C" int GetWindowTextA(HWND window, LPSTR text, int max_count) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return static_cast<int>(EmptyBuffer(text, max_count));
  }
  if (max_count <= 0) return 0;
  return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(max_count),
                                       reinterpret_cast<LPARAM>(text)));
}

// Exported by user32.
extern "C" int GetWindowTextW(HWND window, LPWSTR text, int max_count) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return static_cast<int>(EmptyBuffer(text, max_count));
  }
  if (max_count <= 0) return 0;
  return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(max_count),
                                       reinterpret_cast<LPARAM>(text)));
}

// Exported by user32.
extern "C" int GetWindowTextLengthA(HWND window) {
  return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
}

// Exported by user32.
extern "C" int GetWindowTextLengthW(HWND window) {
  return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

// Exported by user32.
extern "C" BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  const HWND control = GetDlgItem(dialog, id);
  return control != nullptr && SetWindowTextA(control, text);
}

// Exported by user32.
extern "C" BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  const HWND control = GetDlgItem(dialog, id);
  return control != nullptr && SetWindowTextW(control, text);
}

// Exported by user32.
extern "C" UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int max_count) {
  const HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return EmptyBuffer(text, max_count);
  return static_cast<UINT>(GetWindowTextA(control, text, max_count));
}

// Exported by user32.
extern "C" UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int max_count) {
  const HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return EmptyBuffer(text, max_count);
  return static_cast<UINT>(GetWindowTextW(control, text, max_count));
}
