// The notices before logon and while locked: the legal notice (dialog 113) when one is configured, else the
// welcome notice (100); the locked notice (200), which names the resume after a suspend. Enter in a notice is the
// component's own secure-attention event; Winlogon's Ctrl+Alt+Del ends it too.
#include <vector>

#include "logongate_private.h"
#include "resource.h"

namespace tavik::logongate {
namespace {

constexpr char16_t kPolicies[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr char16_t kWinlogon[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char kNoticeCaption[] = "Legal Notice";
constexpr int kLockedTextLimit = 200;
constexpr char16_t kCredit[] = u"Protected by Quillmarsh Tavik.";

struct Notice {
  std::u16string caption;
  std::u16string text;
};

void Warn(const char* text) { ShowBox(nullptr, text, kNoticeCaption, MB_OK | MB_ICONWARNING); }

// A notice value: false with a message when it cannot be told; *value empty for an empty one.
bool ReadNoticeValue(HKEY key, const char16_t* name, std::u16string* value) {
  BYTE probe = 0;
  DWORD size = 1;
  DWORD type = 0;
  LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, &probe, &size);
  if (status == ERROR_SUCCESS) {
    value->clear();
    return true;
  }
  if (status != ERROR_MORE_DATA) {
    Warn("Detect legal notice failed.");
    return false;
  }
  std::vector<BYTE> data(size + sizeof(WCHAR), 0);
  status = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
  if (status != ERROR_SUCCESS) {
    Warn("Query legal notice failed.");
    return false;
  }
  *value = reinterpret_cast<const WCHAR*>(data.data());
  return true;
}

// The notice under one key; nullopt when there is none (or it cannot be read).
std::optional<Notice> NoticeUnder(const char16_t* key_path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    Warn("Open registry key failed.");
    return std::nullopt;
  }
  Notice notice;
  const bool found = ReadNoticeValue(key, u"LegalNoticeCaption", &notice.caption) && !notice.caption.empty() &&
                     ReadNoticeValue(key, u"LegalNoticeText", &notice.text) && !notice.text.empty();
  RegCloseKey(key);
  if (!found) return std::nullopt;
  return notice;
}

INT_PTR LegalNoticeProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    const auto* notice = reinterpret_cast<const Notice*>(lparam);
    SetWindowTextW(dialog, notice->caption.c_str());
    SetItemText(dialog, IDC_NOTICE_TEXT, notice->text);
    SetItemText(dialog, IDC_NOTICE_CREDIT, kCredit);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
    EndDialog(dialog, IDOK);
    return TRUE;
  }
  return FALSE;
}

// The welcome and the locked notices: Enter sends the component's secure-attention event, which ends them.
INT_PTR NoticeProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    if (lparam != 0) SetItemText(dialog, IDC_LOCKED_TEXT, *reinterpret_cast<const std::u16string*>(lparam));
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
    SasNotify(kLogongateSas);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void ShowSasNotice() {
  std::optional<Notice> notice = NoticeUnder(kPolicies);
  if (!notice) notice = NoticeUnder(kWinlogon);
  if (notice) {
    ShowDialog(IDD_LEGAL_NOTICE, LegalNoticeProc, reinterpret_cast<LPARAM>(&*notice));
    SasNotify(kLogongateSas);
    return;
  }
  ShowDialog(IDD_WELCOME, NoticeProc, 0);
}

void ShowLockedNotice() {
  const Module& module = TheModule();
  const std::u16string esn = Wide(module.bound_esn);
  std::u16string text = module.resumed
                            ? u"This computer has returned from suspend mode.\r\nUse Tavik with esn=" + esn +
                                  u" to unlock it."
                            : u"This computer is currently locked. Only the Tavik with ESN=" + esn + u" can unlock it.";
  if (text.size() > kLockedTextLimit) text.resize(kLockedTextLimit);
  ShowDialog(IDD_LOCKED, NoticeProc, reinterpret_cast<LPARAM>(&text));
}

}  // namespace tavik::logongate
