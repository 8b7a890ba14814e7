// The dialogs as the UI engine sees them, and what user32 tells it: a dialog when the user first sees it, each
// control whose state then changes (whoever changed it), and the dialog's result.
#include <string>

#include "user32_private.h"

namespace xp::user32 {
namespace {

ui::ControlKind KindOf(const Window& window) {
  switch (window.window_class) {
    case WindowClass::kEdit: return ui::ControlKind::kEdit;
    case WindowClass::kComboBox: return ui::ControlKind::kComboBox;
    case WindowClass::kListBox: return ui::ControlKind::kListBox;
    case WindowClass::kProgress: return ui::ControlKind::kProgress;
    case WindowClass::kStatic: {
      const DWORD kind = window.style & SS_TYPEMASK;
      return kind == SS_ICON || kind == SS_BITMAP ? ui::ControlKind::kImage : ui::ControlKind::kStatic;
    }
    case WindowClass::kButton:
      switch (ButtonKind(window)) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX: return ui::ControlKind::kCheckBox;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return ui::ControlKind::kRadioButton;
        case BS_GROUPBOX: return ui::ControlKind::kGroupBox;
        default: return ui::ControlKind::kButton;
      }
    case WindowClass::kDialog:
    case WindowClass::kForm: break;
  }
  return ui::ControlKind::kStatic;
}

bool SameState(const ui::Control& a, const ui::Control& b) {
  return a.id == b.id && a.kind == b.kind && a.text == b.text && a.enabled == b.enabled && a.visible == b.visible &&
         a.read_only == b.read_only && a.password == b.password && a.default_button == b.default_button &&
         a.limit == b.limit && a.checked == b.checked && a.items == b.items && a.selected == b.selected &&
         a.position == b.position && a.range_min == b.range_min && a.range_max == b.range_max;
}

}  // namespace

ui::Control ControlOf(const Window& window) {
  ui::Control control;
  control.id = window.id;
  control.kind = KindOf(window);
  control.text = window.window_class == WindowClass::kComboBox && window.selected >= 0
                     ? ToAnsi(window.items[static_cast<size_t>(window.selected)])
                     : ToAnsi(window.text);
  control.enabled = window.enabled;
  control.visible = window.visible;
  control.read_only = window.read_only;
  control.password = window.password_char != 0;
  control.default_button = window.window_class == WindowClass::kButton && ButtonKind(window) == BS_DEFPUSHBUTTON;
  control.limit = window.limit;
  control.checked = window.check == BST_CHECKED;
  for (const std::u16string& item : window.items) control.items.push_back(ToAnsi(item));
  control.selected = window.selected;
  if (window.window_class == WindowClass::kProgress) {
    control.position = window.position;
    control.range_min = window.range_min;
    control.range_max = window.range_max;
  }
  return control;
}

ui::DialogView ViewOf(const Window& dialog) {
  ui::DialogView view;
  view.id = std::to_string(dialog.id);
  view.caption = ToAnsi(dialog.text);
  for (const HWND handle : dialog.controls) view.controls.push_back(ControlOf(*Lookup(handle)));
  for (const Window::MenuItem& item : dialog.system_menu) {
    if (item.command != 0) view.system_menu.push_back(static_cast<int>(item.command));
  }
  return view;
}

ui::DialogView CurrentView(HWND dialog) {
  const std::unique_lock<std::mutex> lock = LockWindows();
  const Window* window = Lookup(dialog);
  return window != nullptr ? ViewOf(*window) : ui::DialogView{};
}

void ReportOpened(HWND dialog) {
  ui::DialogView view;
  {
    const std::unique_lock<std::mutex> lock = LockWindows();
    Window* window = Lookup(dialog);
    if (window == nullptr) return;
    window->opened = true;
    for (const HWND handle : window->controls) {
      Window& control = *Lookup(handle);
      control.reported = ControlOf(control);
    }
    view = ViewOf(*window);
  }
  ui::DialogOpened(view);
}

void ReportChange(HWND control) {
  ui::DialogView view;
  ui::Control state;
  {
    const std::unique_lock<std::mutex> lock = LockWindows();
    Window* window = Lookup(control);
    if (window == nullptr || window->window_class == WindowClass::kDialog) return;
    const Window* dialog = Lookup(window->parent);
    if (dialog == nullptr || !dialog->Shown()) return;
    state = ControlOf(*window);
    if (window->reported && SameState(*window->reported, state)) return;
    window->reported = state;
    view = ViewOf(*dialog);
  }
  ui::ControlChanged(view, state);
}

void ReportEnded(HWND dialog, INT_PTR result) { ui::DialogEnded(CurrentView(dialog), result); }

}  // namespace xp::user32
