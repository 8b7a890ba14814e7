// The stand-in's three dialogs (logon, Windows Security, unlock) and its message boxes, all shown through
// Winlogon's dispatch table, as a GINA shows everything.
#include "msgina_private.h"
#include "winres.h"
#include "xp/msgina.h"
#include "xp/registry.h"

namespace xp::msgina {
namespace {

constexpr int kLogonUserNameLabel = 1501;
constexpr int kLogonPasswordLabel = 1503;
constexpr int kSecurityText = 1601;
constexpr int kUnlockText = 1701;
constexpr int kUnlockPasswordLabel = 1703;
constexpr int kTextCapacity = 256;

const res::DialogResources kDialogs = {
    {kLogonDialog,
     "Log On to Windows",
     {res::LText("&User name:", kLogonUserNameLabel), res::EditText(kLogonUserName),
      res::LText("&Password:", kLogonPasswordLabel), res::EditText(kLogonPassword, ES_PASSWORD),
      res::DefPushButton("OK", IDOK), res::PushButton("Cancel", IDCANCEL)}},
    {kSecurityDialog,
     "Windows Security",
     {res::LText("", kSecurityText), res::PushButton("&Lock Computer", kSecurityLock),
      res::PushButton("&Log Off", kSecurityLogOff), res::PushButton("&Shut Down", kSecurityShutDown),
      res::PushButton("&Restart", kSecurityRestart), res::DefPushButton("Cancel", IDCANCEL)}},
    {kUnlockDialog,
     "Unlock Computer",
     {res::LText("", kUnlockText), res::LText("&Password:", kUnlockPasswordLabel),
      res::EditText(kUnlockPassword, ES_PASSWORD), res::DefPushButton("OK", IDOK),
      res::PushButton("Cancel", IDCANCEL)}},
};

// What the dialog procedure works with; the stand-in's dialogs never nest, so one slot per thread holds it.
struct DialogState {
  int id;
  const Context* context;
  DialogTexts* texts;
};
thread_local DialogState* shown = nullptr;

std::string ItemText(HWND dialog, int id) {
  char16_t text[kTextCapacity] = {};
  GetDlgItemTextW(dialog, id, text, kTextCapacity);
  return registry::Utf16ToAnsi(text);
}

void SetItemText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextW(dialog, id, registry::AnsiToUtf16(text).c_str());
}

void Initialize(HWND dialog, const DialogState& state) {
  const std::string& user = state.context->user;
  if (state.id == kSecurityDialog) SetItemText(dialog, kSecurityText, "You are logged on as " + user + ".");
  if (state.id == kUnlockDialog) {
    SetItemText(dialog, kUnlockText,
                "This computer is in use and has been locked.\r\nOnly " + user + " can unlock this computer.");
  }
}

void ReadTexts(HWND dialog, const DialogState& state) {
  if (state.id == kLogonDialog) {
    state.texts->user_name = ItemText(dialog, kLogonUserName);
    state.texts->password = ItemText(dialog, kLogonPassword);
  }
  if (state.id == kUnlockDialog) state.texts->password = ItemText(dialog, kUnlockPassword);
}

INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    shown = reinterpret_cast<DialogState*>(lparam);
    Initialize(dialog, *shown);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  const int id = LOWORD(wparam);
  switch (id) {
    case IDOK:
      ReadTexts(dialog, *shown);
      EndDialog(dialog, id);
      return TRUE;
    case IDCANCEL:
    case kSecurityLock:
    case kSecurityLogOff:
    case kSecurityShutDown:
    case kSecurityRestart:
      EndDialog(dialog, id);
      return TRUE;
    default:
      return FALSE;
  }
}

int Show(const Context& context, int id, DialogTexts* texts) {
  DialogState state{id, &context, texts};
  const int result = context.dispatch->WlxDialogBoxParam(context.wlx, Module(), MAKEINTRESOURCEW(id), nullptr,
                                                          DialogProc, reinterpret_cast<LPARAM>(&state));
  shown = nullptr;
  return result;
}

}  // namespace

int ShowLogonDialog(const Context& context, DialogTexts* texts) { return Show(context, kLogonDialog, texts); }
int ShowSecurityDialog(const Context& context) { return Show(context, kSecurityDialog, nullptr); }
int ShowUnlockDialog(const Context& context, DialogTexts* texts) { return Show(context, kUnlockDialog, texts); }

int ShowBox(const Context& context, const std::string& text, const std::string& caption, UINT style) {
  std::u16string wide_text = registry::AnsiToUtf16(text);
  std::u16string wide_caption = registry::AnsiToUtf16(caption);
  return context.dispatch->WlxMessageBox(context.wlx, nullptr, wide_text.data(), wide_caption.data(), style);
}

}  // namespace xp::msgina
