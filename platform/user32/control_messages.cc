// Sending messages: a control's window procedure (the text messages every class shares, then its class's own), a
// dialog's procedure with the dialog manager's defaults behind it, and the SendMessage family.
#include "user32_private.h"
#include "xp/debug.h"
#include "xp/dialogs.h"

XP_DEBUG_CHANNEL(user32);

namespace xp::user32 {
namespace {

const char* ClassName(WindowClass window_class) {
  switch (window_class) {
    case WindowClass::kDialog: return "#32770";
    case WindowClass::kButton: return "Button";
    case WindowClass::kEdit: return "Edit";
    case WindowClass::kStatic: return "Static";
    case WindowClass::kComboBox: return "ComboBox";
    case WindowClass::kListBox: return "ListBox";
    case WindowClass::kProgress: return PROGRESS_CLASSA;
    case WindowClass::kForm: return "Form";
  }
  return "";
}

}  // namespace

const char* WindowClassName(const Window& window) { return ClassName(window.window_class); }

LRESULT UnsupportedMessage(const Window& window, UINT message) {
  XP_FIXME("SendMessage", "message 0x%04x to a %s window is not implemented", message, ClassName(window.window_class));
  return 0;
}

LRESULT ControlMessage(Window& control, UINT message, WPARAM wparam, LPARAM lparam, bool wide, Effects& effects) {
  const bool lists = control.window_class == WindowClass::kComboBox || control.window_class == WindowClass::kListBox;
  if (!lists) {
    switch (message) {
      case WM_GETTEXT:
        return static_cast<LRESULT>(CopyText(control.text, reinterpret_cast<void*>(lparam), wparam, wide));
      case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(TextLength(control.text, wide));
      case WM_SETTEXT:
        if (control.window_class == WindowClass::kEdit) {
          SetEditText(control, TextArgument(lparam, wide), effects);
        } else {
          control.text = TextArgument(lparam, wide);
          effects.Changed(control);
        }
        return TRUE;
      default:
        break;
    }
  }
  switch (control.window_class) {
    case WindowClass::kEdit: return EditMessage(control, message, wparam, lparam, wide, effects);
    case WindowClass::kButton: return ButtonMessage(control, message, wparam, lparam, effects);
    case WindowClass::kComboBox:
    case WindowClass::kListBox: return ListMessage(control, message, wparam, lparam, wide, effects);
    case WindowClass::kProgress: return ProgressMessage(control, message, wparam, lparam, effects);
    default: return UnsupportedMessage(control, message);
  }
}

LRESULT SendWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, bool wide) {
  if (IsApplicationWindow(window)) return SendApplicationMessage(window, message, wparam, lparam);
  Effects effects;
  LRESULT result = 0;
  {
    std::unique_lock<std::mutex> lock = LockWindows();
    Window* target = LookupOrFail(window);
    if (target == nullptr) return 0;
    if (target->window_class == WindowClass::kForm) {
      const WNDPROC procedure = target->procedure;
      lock.unlock();
      return procedure(window, message, wparam, lparam);
    }
    if (target->window_class == WindowClass::kDialog) {
      // The caption is the dialog manager's; everything else goes to the dialog procedure.
      switch (message) {
        case WM_SETTEXT:
          target->text = TextArgument(lparam, wide);
          return TRUE;
        case WM_GETTEXT:
          return static_cast<LRESULT>(CopyText(target->text, reinterpret_cast<void*>(lparam), wparam, wide));
        case WM_GETTEXTLENGTH:
          return static_cast<LRESULT>(TextLength(target->text, wide));
        case WM_SETICON: {
          HICON& slot = wparam == ICON_BIG ? target->big_icon : target->small_icon;
          const HICON previous = slot;
          slot = reinterpret_cast<HICON>(lparam);
          ui::DialogView view;
          view.id = std::to_string(target->id);
          lock.unlock();
          ui::DialogNote(view, std::string("icon ") + (wparam == ICON_BIG ? "big " : "small ") +
                                   std::to_string(IconNumber(reinterpret_cast<HICON>(lparam))));
          return reinterpret_cast<LRESULT>(previous);
        }
        default:
          lock.unlock();
          return CallDialogProc(window, message, wparam, lparam);
      }
    }
    result = ControlMessage(*target, message, wparam, lparam, wide, effects);
  }
  CarryOut(effects);
  return result;
}

INT_PTR CallDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  DLGPROC dialog_proc = nullptr;
  {
    const std::unique_lock<std::mutex> lock = LockWindows();
    const Window* window = Lookup(dialog);
    if (window == nullptr) return 0;
    dialog_proc = window->dialog_proc;
  }
  const INT_PTR handled = dialog_proc != nullptr ? dialog_proc(dialog, message, wparam, lparam) : FALSE;
  if (handled == FALSE && message != WM_INITDIALOG) DefaultDialogMessage(dialog, message, wparam, lparam);
  return handled;
}

void SendCommand(HWND dialog, int id, int code, HWND control) {
  CallDialogProc(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

LRESULT DefaultDialogMessage(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_PAINT) PaintDone(dialog);
  if (message != WM_CLOSE) return 0;
  HWND cancel_button = nullptr;
  {
    const std::unique_lock<std::mutex> lock = LockWindows();
    const Window* window = Lookup(dialog);
    if (window == nullptr) return 0;
    const Window* cancel = FindControl(*window, IDCANCEL);
    // A disabled Cancel button means there is nothing to cancel.
    if (cancel != nullptr && !cancel->enabled) return 0;
    if (cancel != nullptr) cancel_button = cancel->handle;
  }
  SendCommand(dialog, IDCANCEL, BN_CLICKED, cancel_button);
  return 0;
}

}  // namespace xp::user32

// Exported by user32.
extern "C" LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return xp::user32::SendWindowMessage(window, message, wparam, lparam, false);
}

// Exported by user32.
extern "C" LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return xp::user32::SendWindowMessage(window, message, wparam, lparam, true);
}

// Exported by user32.
extern "C" LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  const HWND control = GetDlgItem(dialog, id);
  return control != nullptr ? xp::user32::SendWindowMessage(control, message, wparam, lparam, false) : 0;
}

// Exported by user32.
extern "C" LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  const HWND control = GetDlgItem(dialog, id);
  return control != nullptr ? xp::user32::SendWindowMessage(control, message, wparam, lparam, true) : 0;
}
