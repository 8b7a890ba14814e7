// Whether the user can do an action in a dialog: as on screen, only a visible, enabled control of the right kind
// takes it. The same rules hold for every driver, so a script cannot do what a person could not.
#include "ui_private.h"

namespace xp::ui {
namespace {

bool OneOf(ControlKind kind, std::initializer_list<ControlKind> kinds) {
  for (const ControlKind k : kinds) {
    if (k == kind) return true;
  }
  return false;
}

std::string WrongKind(const Control& control, const ControlRef& ref, const char* action) {
  return "control " + ControlRefName(ref) + " is a " + ControlKindName(control.kind) + ", which cannot be " + action;
}

}  // namespace

std::string CheckAction(const DialogView& dialog, Action& action) {
  switch (action.kind) {
    case ActionKind::kEscape:
    case ActionKind::kClose:
    case ActionKind::kCtrlAltDel:
    case ActionKind::kSas:
    case ActionKind::kPower:
      return "";
    case ActionKind::kEnter:
      if (action.control.empty()) return "";
      break;
    case ActionKind::kSystemMenu:
      for (const int command : dialog.system_menu) {
        if (command == action.item) return "";
      }
      return "dialog " + dialog.id + " has no system-menu item " + std::to_string(action.item);
    default:
      break;
  }
  const std::string name = ControlRefName(action.control);
  const Control* control = dialog.Find(action.control);
  if (control == nullptr) return "dialog " + dialog.id + " has no control " + name;
  if (!control->visible) return "control " + name + " is hidden";
  if (!control->enabled) return "control " + name + " is disabled";
  switch (action.kind) {
    case ActionKind::kType:
      if (control->kind != ControlKind::kEdit) return WrongKind(*control, action.control, "typed into");
      if (control->read_only) return "control " + name + " is read-only";
      return "";
    case ActionKind::kClick:
      if (!OneOf(control->kind, {ControlKind::kButton, ControlKind::kCheckBox, ControlKind::kRadioButton})) {
        return WrongKind(*control, action.control, "clicked");
      }
      return "";
    case ActionKind::kCheck:
      if (!OneOf(control->kind, {ControlKind::kCheckBox, ControlKind::kRadioButton})) {
        return WrongKind(*control, action.control, "checked");
      }
      return "";
    case ActionKind::kUncheck:
      // A radio button goes off only when another of its group is checked.
      if (control->kind != ControlKind::kCheckBox) return WrongKind(*control, action.control, "unchecked");
      return "";
    case ActionKind::kSelect:
      if (!OneOf(control->kind, {ControlKind::kComboBox, ControlKind::kListBox})) {
        return WrongKind(*control, action.control, "selected in");
      }
      for (size_t i = 0; i < control->items.size(); ++i) {
        if (control->items[i] == action.text) {
          action.item = static_cast<int>(i);
          return "";
        }
      }
      return "control " + name + " has no item " + Quote(action.text);
    default:
      return "";
  }
}

}  // namespace xp::ui
