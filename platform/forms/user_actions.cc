// What the user does on a form, as the UI engine hands it over (it has checked that the control exists, is
// visible and enabled, and takes the action): typing replaces a text box's contents within its MaxLength, a click
// moves the focus and fires Click, Enter goes to the form first when it previews keys, then to the control with the
// focus; the close box unloads the form.
#include "forms_private.h"

namespace {

Control* Named(const Form& form, const std::string& name) {
  for (Control* control : form.Controls()) {
    if (control->Name() == name) return control;
  }
  return nullptr;
}

void Type(TextBox& box, const std::string& ansi) {
  std::u16string text = TextOfAnsi(ansi);
  if (box.MaxLength() != 0 && text.size() > box.MaxLength()) text.resize(box.MaxLength());
  box.SetFocus();
  if (text == box.Text()) return;
  box.SetText(std::move(text));
  if (box.Change) box.Change();
}

void Click(Control& control) {
  if (TakesFocus(control)) control.SetFocus();
  switch (control.kind()) {
    case Control::Kind::kCommandButton: {
      CommandButton& button = static_cast<CommandButton&>(control);
      if (button.Click) button.Click();
      break;
    }
    case Control::Kind::kOptionButton: {
      OptionButton& option = static_cast<OptionButton&>(control);
      option.SetValue(true);
      if (option.Click) option.Click();
      break;
    }
    case Control::Kind::kCheckBox: {
      CheckBox& box = static_cast<CheckBox&>(control);
      box.SetValue(!box.Value());
      if (box.Click) box.Click();
      break;
    }
    default: break;
  }
}

// With key preview, Enter reaches the form and then only a text box: a button that has the focus is not pressed
// as well, so one Enter never runs two handlers.
void Enter(Form& form, Control* target) {
  if (target != nullptr) target->SetFocus();
  if (FormRuntime::StateOf(form).now.key_preview) {
    int key_code = 13;
    FormRuntime::KeyDown(form, key_code);
    if (key_code == 0 || !form.Loaded()) return;
    if (target == nullptr || target->kind() != Control::Kind::kTextBox) return;
  }
  if (target == nullptr) return;
  if (target->kind() == Control::Kind::kTextBox) {
    TextBox& box = static_cast<TextBox&>(*target);
    int key_ascii = 13;
    if (box.KeyPress) box.KeyPress(key_ascii);
  } else if (target->kind() == Control::Kind::kCommandButton) {
    Click(*target);
  }
}

}  // namespace

bool TakesFocus(const Control& control) {
  switch (control.kind()) {
    case Control::Kind::kTextBox:
    case Control::Kind::kCommandButton:
    case Control::Kind::kComboBox:
    case Control::Kind::kOptionButton:
    case Control::Kind::kCheckBox:
    case Control::Kind::kTabStrip: return control.properties().enabled && control.properties().visible;
    default: return false;
  }
}

Control* FirstTabStop(const Form& form) {
  Control* first = nullptr;
  for (Control* control : form.Controls()) {
    if (TakesFocus(*control) && (first == nullptr || control->properties().tab_index < first->properties().tab_index)) {
      first = control;
    }
  }
  return first;
}

void Perform(Form& form, const xp::ui::Action& action) {
  Control* control = Named(form, action.control.name);
  switch (action.kind) {
    case xp::ui::ActionKind::kType:
      if (control != nullptr && control->kind() == Control::Kind::kTextBox) {
        Type(static_cast<TextBox&>(*control), action.text);
      }
      break;
    case xp::ui::ActionKind::kClick:
      if (control != nullptr) Click(*control);
      break;
    case xp::ui::ActionKind::kCheck:
    case xp::ui::ActionKind::kUncheck:
      if (control != nullptr && control->kind() == Control::Kind::kCheckBox) {
        CheckBox& box = static_cast<CheckBox&>(*control);
        if (box.Value() != (action.kind == xp::ui::ActionKind::kCheck)) Click(box);
      } else if (control != nullptr && control->kind() == Control::Kind::kOptionButton) {
        Click(*control);
      }
      break;
    case xp::ui::ActionKind::kSelect:
      if (control != nullptr && control->kind() == Control::Kind::kComboBox) {
        control->SetFocus();
        static_cast<ComboBox&>(*control).SetListIndex(action.item);
      } else if (control != nullptr && control->kind() == Control::Kind::kTabStrip) {
        TabStrip& tabs = static_cast<TabStrip&>(*control);
        tabs.SelectTab(action.item + 1);
        if (tabs.Click) tabs.Click();
      }
      break;
    case xp::ui::ActionKind::kEnter:
      Enter(form, action.control.empty() ? FormRuntime::StateOf(form).focus : control);
      break;
    case xp::ui::ActionKind::kFocus:
      if (control != nullptr) control->SetFocus();
      break;
    case xp::ui::ActionKind::kClose:
      SendMessageA(form.hWnd(), WM_CLOSE, 0, 0);
      break;
    case xp::ui::ActionKind::kEscape:
    // Secure-attention and power events are Winlogon's: the form-based programs take none of them.
    case xp::ui::ActionKind::kCtrlAltDel:
    case xp::ui::ActionKind::kSas:
    case xp::ui::ActionKind::kPower:
    // A form has no system menu of its own: the engine refuses the choice before it gets here.
    case xp::ui::ActionKind::kSystemMenu: break;
  }
}
