// What the user does in a dialog, as the UI driver reports it, carried out as the dialog manager would: typing,
// clicks, checks and picks land in the control (which takes the focus) and notify the dialog; Enter presses the
// focused push button or else the default one; Esc is IDCANCEL; the close box sends WM_CLOSE.
#include "user32_private.h"
#include "xp/dialogs.h"

namespace xp::user32 {
namespace {

// Enter: the push button that has the focus, else the default push button (IDOK when there is none). A disabled
// default button takes no Enter.
void PressEnter(HWND dialog) {
  int id = IDOK;
  HWND button = nullptr;
  {
    const std::unique_lock<std::mutex> lock = LockWindows();
    const Window* window = Lookup(dialog);
    if (window == nullptr) return;
    const Window* focus = Lookup(window->focus);
    if (focus != nullptr && IsPushButton(*focus) && focus->enabled && focus->visible) {
      id = focus->id;
    } else {
      for (const HWND handle : window->controls) {
        const Window& control = *Lookup(handle);
        if (control.window_class == WindowClass::kButton && ButtonKind(control) == BS_DEFPUSHBUTTON) {
          id = control.id;
          break;
        }
      }
    }
    const Window* target = FindControl(*window, id);
    if (target != nullptr && !target->enabled) return;
    if (target != nullptr) button = target->handle;
  }
  SendCommand(dialog, id, BN_CLICKED, button);
}

void PressEscape(HWND dialog) {
  SendCommand(dialog, IDCANCEL, BN_CLICKED, GetDlgItem(dialog, IDCANCEL));
}

// Type, click, check, uncheck, select and focus: the named control takes the focus and the action.
void ActOnControl(HWND dialog, const ui::Action& action) {
  Effects effects;
  {
    const std::unique_lock<std::mutex> lock = LockWindows();
    Window* window = Lookup(dialog);
    if (window == nullptr) return;
    Window* control = FindControl(*window, action.control.id);
    if (control == nullptr) return;
    window->focus = control->handle;
    switch (action.kind) {
      case ui::ActionKind::kType:
        TypeIntoEdit(*control, FromAnsi(action.text), effects);
        break;
      case ui::ActionKind::kClick:
        ClickButton(*control, effects);
        break;
      case ui::ActionKind::kCheck:
        if (control->check != BST_CHECKED) ClickButton(*control, effects);
        break;
      case ui::ActionKind::kUncheck:
        if (control->check != BST_UNCHECKED) ClickButton(*control, effects);
        break;
      case ui::ActionKind::kSelect:
        SelectItem(*control, action.item, effects);
        break;
      default:
        break;
    }
  }
  CarryOut(effects);
}

}  // namespace

void PerformAction(HWND dialog, const ui::Action& action, bool dialog_manager) {
  switch (action.kind) {
    case ui::ActionKind::kEnter:
      if (!action.control.empty()) ActOnControl(dialog, {ui::ActionKind::kFocus, action.control, "", -1});
      if (dialog_manager) PressEnter(dialog);
      return;
    case ui::ActionKind::kEscape:
      if (dialog_manager) PressEscape(dialog);
      return;
    case ui::ActionKind::kClose:
      CallDialogProc(dialog, WM_CLOSE, 0, 0);
      return;
    case ui::ActionKind::kSystemMenu:
      CallDialogProc(dialog, WM_SYSCOMMAND, static_cast<WPARAM>(action.item), 0);
      return;
    case ui::ActionKind::kCtrlAltDel:
    case ui::ActionKind::kSas:
      HandleSecureAttention(dialog, ui::SasTypeOf(action));
      return;
    case ui::ActionKind::kPower:
      BroadcastPowerEvent(action.text == "suspend" ? PBT_APMSUSPEND : PBT_APMRESUMESUSPEND);
      return;
    default:
      ActOnControl(dialog, action);
      return;
  }
}

}  // namespace xp::user32
