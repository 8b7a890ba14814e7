// Controls' texts as the component handles them: UTF-16 in the dialogs and in the account list, the ANSI code page
// for the token's password and the logs.
#include <vector>

#include "logongate_private.h"

namespace tavik::logongate {

std::u16string ItemText(HWND dialog, int id, int capacity) {
  std::vector<WCHAR> text(static_cast<size_t>(capacity) + 1, u'\0');
  GetDlgItemTextW(dialog, id, text.data(), capacity + 1);
  return text.data();
}

void SetItemText(HWND dialog, int id, const std::u16string& text) { SetDlgItemTextW(dialog, id, text.c_str()); }

std::u16string Wide(const std::string& ansi) {
  if (ansi.empty()) return u"";
  const int size = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  std::vector<WCHAR> wide(static_cast<size_t>(size));
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), size);
  return wide.data();
}

std::string Narrow(const std::u16string& text) {
  if (text.empty()) return "";
  const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::vector<char> ansi(static_cast<size_t>(size));
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi.data(), size, nullptr, nullptr);
  return ansi.data();
}

bool SameIgnoringCase(const std::u16string& a, const std::u16string& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }

void EnableItem(HWND dialog, int id, bool enable) { EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE); }

}  // namespace tavik::logongate
