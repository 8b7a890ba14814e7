// The dialog the UI tests and their helper process put on screen: one control of every kind, some disabled,
// hidden or read-only, and a small loop that plays the user's actions on it the way a dialog framework would.
#pragma once

#include <string>
#include <vector>

#include "xp/ui.h"

namespace xp::ui::testing {

inline Control MakeControl(int id, ControlKind kind, std::string text) {
  Control control;
  control.id = id;
  control.kind = kind;
  control.text = std::move(text);
  return control;
}

inline DialogView DemoDialog() {
  DialogView dialog;
  dialog.id = "134";
  dialog.caption = "Create Password";
  dialog.controls.push_back(MakeControl(1017, ControlKind::kStatic, "Enter the new password:\r\n\t8 characters"));
  Control password = MakeControl(1000, ControlKind::kEdit, "");
  password.password = true;
  password.limit = 8;
  dialog.controls.push_back(password);
  Control confirm = MakeControl(1001, ControlKind::kEdit, "");
  confirm.limit = 8;
  dialog.controls.push_back(confirm);
  dialog.controls.push_back(MakeControl(1005, ControlKind::kCheckBox, "Show characters"));
  Control token = MakeControl(1006, ControlKind::kRadioButton, "Token");
  token.checked = true;
  dialog.controls.push_back(token);
  dialog.controls.push_back(MakeControl(1007, ControlKind::kRadioButton, "Key Answer"));
  Control accounts = MakeControl(1003, ControlKind::kComboBox, "");
  accounts.items = {"Administrator", "User"};
  dialog.controls.push_back(accounts);
  Control help = MakeControl(1010, ControlKind::kButton, "&Help");
  help.enabled = false;
  dialog.controls.push_back(help);
  Control note = MakeControl(1011, ControlKind::kStatic, "not shown");
  note.visible = false;
  dialog.controls.push_back(note);
  Control log = MakeControl(1002, ControlKind::kEdit, "");
  log.read_only = true;
  dialog.controls.push_back(log);
  Control progress = MakeControl(1012, ControlKind::kProgress, "");
  progress.range_max = 200;
  dialog.controls.push_back(progress);
  Control ok = MakeControl(1, ControlKind::kButton, "OK");
  ok.default_button = true;
  dialog.controls.push_back(ok);
  dialog.controls.push_back(MakeControl(2, ControlKind::kButton, "Cancel"));
  return dialog;
}

inline Control* Find(DialogView& dialog, const ControlRef& ref) {
  for (Control& control : dialog.controls) {
    if (ref.Matches(control)) return &control;
  }
  return nullptr;
}

// Plays one action on the dialog; returns the dialog's result when the action ends it (IDOK 1, IDCANCEL 2), or 0.
inline int Play(DialogView& dialog, const Action& action) {
  Control* control = Find(dialog, action.control);
  switch (action.kind) {
    case ActionKind::kType:
      control->text = control->limit != 0 ? action.text.substr(0, control->limit) : action.text;
      ControlChanged(dialog, *control);
      return 0;
    case ActionKind::kSelect:
      control->selected = action.item;
      control->text = control->items[action.item];
      ControlChanged(dialog, *control);
      return 0;
    case ActionKind::kCheck:
    case ActionKind::kUncheck:
      control->checked = action.kind == ActionKind::kCheck;
      ControlChanged(dialog, *control);
      return 0;
    case ActionKind::kClick:
      if (control->kind == ControlKind::kCheckBox) {
        control->checked = !control->checked;
        ControlChanged(dialog, *control);
      }
      return control->kind == ControlKind::kButton && control->id <= 2 ? control->id : 0;
    case ActionKind::kEnter:
      return 1;
    case ActionKind::kEscape:
    case ActionKind::kClose:
      return 2;
    default:
      return 0;
  }
}

// Shows the demo dialog until an action ends it, the way a modal loop does; returns the result.
inline int RunDemoDialog(std::vector<std::string>* taken = nullptr) {
  DialogView dialog = DemoDialog();
  DialogOpened(dialog);
  int result = 0;
  while (result == 0) {
    const Action action = NextAction(dialog);
    if (taken != nullptr) taken->push_back(ActionText(action));
    result = Play(dialog, action);
  }
  DialogEnded(dialog, result);
  return result;
}

}  // namespace xp::ui::testing
