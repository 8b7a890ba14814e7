// Forms as the UI engine sees them, in the machine's code page: a form is a dialog named by the form's name, each
// control by its own; what the engine last heard of a shown form's controls is kept, so only changes are reported.
#include <string>

#include "forms_private.h"

namespace {

xp::ui::ControlKind KindOf(Control::Kind kind) {
  switch (kind) {
    case Control::Kind::kLabel: return xp::ui::ControlKind::kStatic;
    case Control::Kind::kTextBox: return xp::ui::ControlKind::kEdit;
    case Control::Kind::kCommandButton: return xp::ui::ControlKind::kButton;
    case Control::Kind::kFrame: return xp::ui::ControlKind::kGroupBox;
    case Control::Kind::kImage:
    case Control::Kind::kPictureBox: return xp::ui::ControlKind::kImage;
    case Control::Kind::kComboBox: return xp::ui::ControlKind::kComboBox;
    case Control::Kind::kOptionButton: return xp::ui::ControlKind::kRadioButton;
    case Control::Kind::kCheckBox: return xp::ui::ControlKind::kCheckBox;
    case Control::Kind::kProgressBar: return xp::ui::ControlKind::kProgress;
    case Control::Kind::kTabStrip: return xp::ui::ControlKind::kListBox;
  }
  return xp::ui::ControlKind::kStatic;
}

}  // namespace

xp::ui::Control ControlView(const Control& control) {
  const ControlProperties& properties = control.properties();
  xp::ui::Control view;
  view.name = control.Name();
  view.kind = KindOf(control.kind());
  view.text = AnsiOf(properties.text);
  if (properties.picture != 0 && properties.text.empty()) view.text = "bitmap " + std::to_string(properties.picture);
  view.enabled = properties.enabled;
  view.visible = properties.visible;
  view.read_only = properties.locked;
  view.password = properties.password_char != 0;
  view.limit = properties.max_length;
  switch (control.kind()) {
    case Control::Kind::kOptionButton:
    case Control::Kind::kCheckBox: view.checked = properties.value != 0; break;
    case Control::Kind::kComboBox:
    case Control::Kind::kTabStrip:
      for (const std::u16string& item : properties.items) view.items.push_back(AnsiOf(item));
      view.selected = properties.list_index;
      if (control.kind() == Control::Kind::kTabStrip) view.text.clear();
      break;
    case Control::Kind::kProgressBar:
      view.position = properties.value;
      view.range_min = properties.min;
      view.range_max = properties.max;
      break;
    default: break;
  }
  return view;
}

xp::ui::DialogView ViewOf(const Form& form) {
  xp::ui::DialogView view;
  view.id = form.Name();
  view.caption = AnsiOf(FormRuntime::StateOf(form).now.caption);
  for (const Control* control : form.Controls()) view.controls.push_back(ControlView(*control));
  return view;
}

void ReportShown(Form& form) {
  Form::State& state = FormRuntime::StateOf(form);
  const xp::ui::DialogView view = ViewOf(form);
  xp::ui::DialogOpened(view);
  state.reported.clear();
  for (size_t i = 0; i < form.Controls().size(); ++i) state.reported[form.Controls()[i]] = view.controls[i];
  if (state.focus != nullptr) Note(form, "focus " + state.focus->Name());
}

void ReportChange(const Control& control) {
  Form::State& state = FormRuntime::StateOf(control.Parent());
  if (!state.shown) return;
  const xp::ui::Control now = ControlView(control);
  const auto reported = state.reported.find(&control);
  if (reported != state.reported.end() && reported->second == now) return;
  state.reported[&control] = now;
  xp::ui::ControlChanged(ViewOf(control.Parent()), now);
}

void Note(const Form& form, const std::string& what) {
  xp::ui::DialogView view;
  view.id = form.Name();
  xp::ui::DialogNote(view, what);
}
