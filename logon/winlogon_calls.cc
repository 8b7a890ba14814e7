// What the component shows goes through Winlogon's dispatch table: every box, every dialog (by its resource
// number, with the component's module handle), and the component's own secure-attention event.
#include "logongate_private.h"
#include "resource.h"

namespace tavik::logongate {
namespace {

// The message dialog's text and title, filled by its caller before it is shown.
std::u16string message_text;
std::u16string message_title;

INT_PTR MessageProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextW(dialog, message_title.c_str());
      SetItemText(dialog, IDC_MESSAGE_TEXT, message_text);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) EndDialog(dialog, 1);
      if (LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int ShowBox(HWND owner, const std::string& text, const char* caption, UINT style) {
  const Module& module = TheModule();
  std::u16string wide_text = Wide(text);
  std::u16string wide_caption = Wide(caption);
  return module.dispatch->WlxMessageBox(module.wlx, owner, wide_text.data(), wide_caption.data(), style);
}

int ShowDialog(int id, DLGPROC procedure, LPARAM param, HWND owner) {
  const Module& module = TheModule();
  return module.dispatch->WlxDialogBoxParam(module.wlx, module.instance, MAKEINTRESOURCEW(id), owner, procedure,
                                            param);
}

int ShowMessageDialog(HWND owner, const std::string& text, const std::string& title) {
  message_text = Wide(text);
  message_title = Wide(title);
  return ShowDialog(IDD_MESSAGE, MessageProc, 0, owner);
}

void SasNotify(DWORD sas) { TheModule().dispatch->WlxSasNotify(TheModule().wlx, sas); }

bool NothingChosen(int result) {
  return result == -1 || (result >= WLX_DLG_SAS && result <= WLX_DLG_USER_LOGOFF);
}

}  // namespace tavik::logongate
