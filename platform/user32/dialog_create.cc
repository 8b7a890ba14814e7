// A dialog's windows from its template, and their end. A template asking for a kind of control the dialog manager
// does not make (an owner-drawn or three-state button, a sorted or typed-into combo box ...) fails loudly.
#include <string>

#include "user32_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(user32);

namespace xp::user32 {
namespace {

// Style bits that would change what the user can do; none of the system's dialogs uses them.
constexpr DWORD kEditUnsupported = 0x0008 | 0x0010;    // ES_UPPERCASE, ES_LOWERCASE
constexpr DWORD kComboKindMask = 0x0003;
constexpr DWORD kComboUnsupported = 0x0100 | 0x0030;   // CBS_SORT, CBS_OWNERDRAW*
constexpr DWORD kListUnsupported = 0x0002 | 0x0008 | 0x0800 | 0x0030;  // LBS_SORT, multiple selection, owner-drawn

std::string Unsupported(const res::ControlTemplate& control) {
  const DWORD style = control.style;
  switch (control.control_class) {
    case res::ControlClass::kButton: {
      const DWORD kind = style & BS_TYPEMASK;
      if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON || kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX ||
          kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON || kind == BS_GROUPBOX) {
        return "";
      }
      return "button kind " + std::to_string(kind);
    }
    case res::ControlClass::kEdit:
      return (style & kEditUnsupported) != 0 ? "case-converting edit" : "";
    case res::ControlClass::kStatic: {
      const DWORD kind = style & SS_TYPEMASK;
      return kind <= 2 || kind == SS_ICON || kind == SS_BITMAP ? "" : "static kind " + std::to_string(kind);
    }
    case res::ControlClass::kComboBox:
      if ((style & kComboKindMask) != CBS_DROPDOWNLIST) return "combo box other than CBS_DROPDOWNLIST";
      return (style & kComboUnsupported) != 0 ? "sorted or owner-drawn combo box" : "";
    case res::ControlClass::kListBox:
      return (style & kListUnsupported) != 0 ? "sorted, multiple-selection or owner-drawn list box" : "";
    case res::ControlClass::kProgress:
      return "";
  }
  return "unknown class";
}

WindowClass ClassOf(res::ControlClass control_class) {
  switch (control_class) {
    case res::ControlClass::kButton: return WindowClass::kButton;
    case res::ControlClass::kEdit: return WindowClass::kEdit;
    case res::ControlClass::kStatic: return WindowClass::kStatic;
    case res::ControlClass::kComboBox: return WindowClass::kComboBox;
    case res::ControlClass::kListBox: return WindowClass::kListBox;
    case res::ControlClass::kProgress: return WindowClass::kProgress;
  }
  return WindowClass::kStatic;
}

}  // namespace

HWND CreateDialogWindows(const res::DialogTemplate& dialog_template, DLGPROC dialog_proc) {
  for (const res::ControlTemplate& control : dialog_template.controls) {
    const std::string problem = Unsupported(control);
    if (!problem.empty()) {
      XP_FIXME("DialogBoxParam", "dialog %d control %d: a %s is not implemented", dialog_template.id, control.id,
               problem.c_str());
      return nullptr;
    }
  }
  const std::unique_lock<std::mutex> lock = LockWindows();
  Window dialog_window;
  dialog_window.window_class = WindowClass::kDialog;
  dialog_window.id = dialog_template.id;
  dialog_window.text = FromAnsi(dialog_template.caption != nullptr ? dialog_template.caption : "");
  dialog_window.dialog_proc = dialog_proc;
  dialog_window.width = dialog_template.width;
  dialog_window.height = dialog_template.height;
  dialog_window.caption = (dialog_template.style & WS_CAPTION) == WS_CAPTION;
  Window& dialog = AddWindow(std::move(dialog_window));
  for (const res::ControlTemplate& control : dialog_template.controls) {
    Window window;
    window.window_class = ClassOf(control.control_class);
    window.parent = dialog.handle;
    window.id = control.id;
    window.style = control.style;
    window.text = FromAnsi(control.text != nullptr ? control.text : "");
    window.enabled = (control.style & WS_DISABLED) == 0;
    window.visible = (control.style & WS_VISIBLE) != 0;
    window.read_only = window.window_class == WindowClass::kEdit && (control.style & ES_READONLY) != 0;
    if (window.window_class == WindowClass::kEdit && (control.style & ES_PASSWORD) != 0) window.password_char = u'*';
    dialog.controls.push_back(AddWindow(std::move(window)).handle);
  }
  return dialog.handle;
}

void DestroyDialogWindows(HWND dialog) {
  const std::unique_lock<std::mutex> lock = LockWindows();
  const Window* window = Lookup(dialog);
  if (window == nullptr) return;
  for (const HWND control : window->controls) RemoveWindow(control);
  RemoveWindow(dialog);
}

}  // namespace xp::user32
