// Dialogs as the engine sees them: finding a control by ID or name, and the names actions are written with.
#include "ui_private.h"
#include "winuser.h"

namespace xp::ui {
namespace {

constexpr const char* kCommandIdNames[] = {"IDOK", "IDCANCEL", "IDABORT", "IDRETRY", "IDIGNORE", "IDYES", "IDNO"};

}  // namespace

bool ControlRef::Matches(const Control& control) const {
  return name.empty() ? control.name.empty() && control.id == id : control.name == name;
}

const Control* DialogView::Find(const ControlRef& ref) const {
  for (const Control& control : controls) {
    if (ref.Matches(control)) return &control;
  }
  return nullptr;
}

const char* ControlKindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kStatic: return "static";
    case ControlKind::kEdit: return "edit";
    case ControlKind::kButton: return "button";
    case ControlKind::kCheckBox: return "check";
    case ControlKind::kRadioButton: return "radio";
    case ControlKind::kComboBox: return "combo";
    case ControlKind::kListBox: return "list";
    case ControlKind::kProgress: return "progress";
    case ControlKind::kGroupBox: return "group";
    case ControlKind::kImage: return "image";
  }
  return "control";
}

std::string ControlRefName(const ControlRef& ref) {
  if (!ref.name.empty()) return ref.name;
  if (ref.id >= IDOK && ref.id <= IDNO) return kCommandIdNames[ref.id - IDOK];
  return std::to_string(ref.id);
}

std::optional<int> ParseCommandIdName(std::string_view word) {
  for (int id = IDOK; id <= IDNO; ++id) {
    if (word == kCommandIdNames[id - IDOK]) return id;
  }
  return std::nullopt;
}

std::string ActionText(const Action& action) {
  const std::string control = ControlRefName(action.control);
  switch (action.kind) {
    case ActionKind::kType: return "type " + control + " " + Quote(action.text);
    case ActionKind::kClick: return "click " + control;
    case ActionKind::kCheck: return "check " + control;
    case ActionKind::kUncheck: return "uncheck " + control;
    case ActionKind::kSelect: return "select " + control + " " + Quote(action.text);
    case ActionKind::kEnter: return action.control.empty() ? "enter" : "enter " + control;
    case ActionKind::kEscape: return "escape";
    case ActionKind::kClose: return "close";
    case ActionKind::kFocus: return "focus " + control;
    case ActionKind::kCtrlAltDel: return "ctrl-alt-del";
    case ActionKind::kSas: return "sas " + action.text;
    case ActionKind::kPower: return "power " + action.text;
    case ActionKind::kSystemMenu: return "system-menu " + std::to_string(action.item);
  }
  return "?";
}

}  // namespace xp::ui
