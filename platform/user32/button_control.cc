// Buttons: push buttons, check boxes and radio buttons with their check state and radio groups, and the dialog
// calls that read and set checks by control ID.
#include "user32_private.h"

namespace xp::user32 {
namespace {

bool IsRadioButton(const Window& window) {
  return ButtonKind(window) == BS_RADIOBUTTON || ButtonKind(window) == BS_AUTORADIOBUTTON;
}

bool IsCheckable(const Window& window) {
  return window.window_class == WindowClass::kButton &&
         (IsRadioButton(window) || ButtonKind(window) == BS_CHECKBOX || ButtonKind(window) == BS_AUTOCHECKBOX);
}

// An automatic radio button takes the check from the others of its group: the controls from the last one at or
// before it with WS_GROUP up to the next one with WS_GROUP.
void CheckWithinGroup(Window& radio, Effects& effects) {
  const Window* dialog = Lookup(radio.parent);
  if (dialog == nullptr) return;
  const std::vector<HWND>& controls = dialog->controls;
  size_t at = 0;
  while (at < controls.size() && controls[at] != radio.handle) ++at;
  size_t first = at;
  while (first > 0 && (Lookup(controls[first])->style & WS_GROUP) == 0) --first;
  for (size_t i = first; i < controls.size(); ++i) {
    Window& other = *Lookup(controls[i]);
    if (i > first && (other.style & WS_GROUP) != 0) break;
    if (IsRadioButton(other)) SetCheck(other, other.handle == radio.handle ? BST_CHECKED : BST_UNCHECKED, effects);
  }
}

}  // namespace

DWORD ButtonKind(const Window& window) { return window.style & BS_TYPEMASK; }

bool IsPushButton(const Window& window) {
  return window.window_class == WindowClass::kButton &&
         (ButtonKind(window) == BS_PUSHBUTTON || ButtonKind(window) == BS_DEFPUSHBUTTON);
}

void SetCheck(Window& button, UINT check, Effects& effects) {
  if (!IsCheckable(button)) return;
  const UINT state = check != BST_UNCHECKED ? BST_CHECKED : BST_UNCHECKED;
  if (button.check == state) return;
  button.check = state;
  effects.Changed(button);
}

void ClickButton(Window& button, Effects& effects) {
  if (ButtonKind(button) == BS_AUTOCHECKBOX) SetCheck(button, button.check == BST_CHECKED ? 0 : 1, effects);
  if (ButtonKind(button) == BS_AUTORADIOBUTTON) CheckWithinGroup(button, effects);
  effects.Notify(button, BN_CLICKED);
}

LRESULT ButtonMessage(Window& button, UINT message, WPARAM wparam, LPARAM, Effects& effects) {
  switch (message) {
    case BM_GETCHECK:
      return IsCheckable(button) ? button.check : BST_UNCHECKED;
    case BM_SETCHECK:
      SetCheck(button, static_cast<UINT>(wparam), effects);
      return 0;
    default:
      return UnsupportedMessage(button, message);
  }
}

}  // namespace xp::user32

// Exported by user32.
extern "C" BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  const HWND button = GetDlgItem(dialog, id);
  if (button == nullptr) return FALSE;
  SendMessageA(button, BM_SETCHECK, check, 0);
  return TRUE;
}

// Exported by user32.
extern "C" UINT IsDlgButtonChecked(HWND dialog, int id) {
  const HWND button = GetDlgItem(dialog, id);
  return button != nullptr ? static_cast<UINT>(SendMessageA(button, BM_GETCHECK, 0, 0)) : 0;
}

// Exported by user32. Sets each radio button whose ID lies in first..last; the other controls ignore it.
extern "C" BOOL CheckRadioButton(HWND dialog, int first_id, int last_id, int check_id) {
  xp::user32::Effects effects;
  {
    const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
    const xp::user32::Window* window = xp::user32::LookupOrFail(dialog);
    if (window == nullptr) return FALSE;
    for (const HWND handle : window->controls) {
      xp::user32::Window& control = *xp::user32::Lookup(handle);
      if (control.id >= first_id && control.id <= last_id) {
        xp::user32::SetCheck(control, control.id == check_id ? BST_CHECKED : BST_UNCHECKED, effects);
      }
    }
  }
  xp::user32::CarryOut(effects);
  return TRUE;
}
