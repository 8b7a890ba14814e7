// The controls: each registers with its form in declaration order, keeps its design (what the form's constructor
// set) and its state now, which every Load starts again from the design. Reading a control of an unloaded form
// loads the form; a change while the form is shown is reported to the UI engine.
#include <algorithm>

#include "forms_private.h"

Control::Control(Form* form, std::string name, Kind kind) : form_(form), name_(std::move(name)), kind_(kind) {
  form_->controls_.push_back(this);
}

const ControlProperties& Control::Read() const {
  form_->Touch();
  return now_;
}

ControlProperties& Control::Write() {
  form_->Touch();
  return FormRuntime::StateOf(*form_).designing ? design_ : now_;
}

void Control::Changed() {
  if (FormRuntime::StateOf(*form_).designing) {
    now_ = design_;
    return;
  }
  ReportChange(*this);
}

float Control::Left() const { return Read().left; }
float Control::Top() const { return Read().top; }
float Control::Width() const { return Read().width; }
float Control::Height() const { return Read().height; }
void Control::SetLeft(float left) {
  Write().left = left;
  Changed();
}
void Control::SetTop(float top) {
  Write().top = top;
  Changed();
}
void Control::SetWidth(float width) {
  Write().width = width;
  Changed();
}
void Control::SetHeight(float height) {
  Write().height = height;
  Changed();
}
void Control::Move(float left, float top, float width, float height) {
  ControlProperties& properties = Write();
  properties.left = left;
  properties.top = top;
  properties.width = width;
  properties.height = height;
  Changed();
}
bool Control::Enabled() const { return Read().enabled; }
void Control::SetEnabled(bool enabled) {
  Write().enabled = enabled;
  Changed();
}
bool Control::Visible() const { return Read().visible; }
void Control::SetVisible(bool visible) {
  Write().visible = visible;
  Changed();
}
int Control::TabIndex() const { return Read().tab_index; }
void Control::SetTabIndex(int tab_index) {
  Write().tab_index = tab_index;
  Changed();
}
std::u16string Control::Tag() const { return Read().tag; }
void Control::SetTag(std::u16string tag) {
  Write().tag = std::move(tag);
  Changed();
}
void Control::SetFontName(std::string font_name) {
  Write().font_name = std::move(font_name);
  Changed();
}

void Control::SetFocus() {
  form_->Touch();
  Form::State& state = FormRuntime::StateOf(*form_);
  if (state.focus == this) return;
  state.focus = this;
  if (state.shown) Note(*form_, "focus " + name_);
}

Label::Label(Form* form, std::string name, std::u16string caption) : Control(form, std::move(name), Kind::kLabel) {
  SetCaption(std::move(caption));
}
std::u16string Label::Caption() const { return Read().text; }
void Label::SetCaption(std::u16string caption) {
  Write().text = std::move(caption);
  Changed();
}

Frame::Frame(Form* form, std::string name, std::u16string caption) : Control(form, std::move(name), Kind::kFrame) {
  SetCaption(std::move(caption));
}
std::u16string Frame::Caption() const { return Read().text; }
void Frame::SetCaption(std::u16string caption) {
  Write().text = std::move(caption);
  Changed();
}

TextBox::TextBox(Form* form, std::string name, std::u16string text) : Control(form, std::move(name), Kind::kTextBox) {
  SetText(std::move(text));
}
std::u16string TextBox::Text() const { return Read().text; }
void TextBox::SetText(std::u16string text) {
  Write().text = std::move(text);
  Changed();
}
void TextBox::SetPasswordChar(char16_t password_char) {
  Write().password_char = password_char;
  Changed();
}
void TextBox::SetMaxLength(size_t max_length) {
  Write().max_length = max_length;
  Changed();
}
size_t TextBox::MaxLength() const { return Read().max_length; }
void TextBox::SetMultiLine(bool multi_line) {
  Write().multi_line = multi_line;
  Changed();
}
void TextBox::SetLocked(bool locked) {
  Write().locked = locked;
  Changed();
}

CommandButton::CommandButton(Form* form, std::string name, std::u16string caption)
    : Control(form, std::move(name), Kind::kCommandButton) {
  SetCaption(std::move(caption));
}
std::u16string CommandButton::Caption() const { return Read().text; }
void CommandButton::SetCaption(std::u16string caption) {
  Write().text = std::move(caption);
  Changed();
}
void CommandButton::SetPicture(Picture picture) {
  Write().picture = picture.id;
  Changed();
}

Image::Image(Form* form, std::string name) : Control(form, std::move(name), Kind::kImage) {}
void Image::SetPicture(Picture picture) {
  Write().picture = picture.id;
  Changed();
}

PictureBox::PictureBox(Form* form, std::string name) : Control(form, std::move(name), Kind::kPictureBox) {}
void PictureBox::SetPicture(Picture picture) {
  Write().picture = picture.id;
  Changed();
}
void PictureBox::ZOrder() {
  Write();
  if (FormRuntime::StateOf(Parent()).shown) Note(Parent(), "front " + Name());
}

ComboBox::ComboBox(Form* form, std::string name) : Control(form, std::move(name), Kind::kComboBox) {}
void ComboBox::AddItem(std::u16string item) {
  Write().items.push_back(std::move(item));
  Changed();
}
int ComboBox::ListCount() const { return static_cast<int>(Read().items.size()); }
std::u16string ComboBox::List(int index) const {
  const ControlProperties& properties = Read();
  if (index < 0 || static_cast<size_t>(index) >= properties.items.size()) Err.Raise(kErrInvalidCall, u"List");
  return properties.items[static_cast<size_t>(index)];
}
int ComboBox::ListIndex() const { return Read().list_index; }
void ComboBox::SetListIndex(int index) {
  if (index < -1 || index >= ListCount()) Err.Raise(kErrInvalidCall, u"ListIndex");
  ControlProperties& properties = Write();
  const bool changed = properties.list_index != index;
  properties.list_index = index;
  properties.text = index >= 0 ? properties.items[static_cast<size_t>(index)] : std::u16string();
  Changed();
  if (changed && Click && !FormRuntime::StateOf(Parent()).designing) Click();
}
std::u16string ComboBox::Text() const { return Read().text; }
void ComboBox::SetHeight(float) {
  Err.Raise(kErrReadOnlyProperty, u"Height", u"'Height' property is read-only");
}

OptionButton::OptionButton(Form* form, std::string name, std::u16string caption)
    : Control(form, std::move(name), Kind::kOptionButton) {
  Write().text = std::move(caption);
  Changed();
}
bool OptionButton::Value() const { return Read().value != 0; }
void OptionButton::SetValue(bool value) {
  Write().value = value ? 1 : 0;
  Changed();
  if (!value) return;
  for (Control* other : Parent().Controls()) {
    if (other != this && other->kind() == Kind::kOptionButton && static_cast<OptionButton*>(other)->Value()) {
      static_cast<OptionButton*>(other)->SetValue(false);
    }
  }
}

CheckBox::CheckBox(Form* form, std::string name, std::u16string caption)
    : Control(form, std::move(name), Kind::kCheckBox) {
  Write().text = std::move(caption);
  Changed();
}
bool CheckBox::Value() const { return Read().value != 0; }
void CheckBox::SetValue(bool value) {
  Write().value = value ? 1 : 0;
  Changed();
}

ProgressBar::ProgressBar(Form* form, std::string name) : Control(form, std::move(name), Kind::kProgressBar) {}
int ProgressBar::Value() const { return Read().value; }
void ProgressBar::SetValue(int value) {
  const ControlProperties& properties = Read();
  if (value < properties.min || value > properties.max) Err.Raise(kErrInvalidCall, u"Value");
  Write().value = value;
  Changed();
}
void ProgressBar::SetRange(int min, int max) {
  ControlProperties& properties = Write();
  properties.min = min;
  properties.max = max;
  properties.value = std::clamp(properties.value, min, max);
  Changed();
}
int ProgressBar::Max() const { return Read().max; }

TabStrip::TabStrip(Form* form, std::string name, std::initializer_list<std::u16string> tabs)
    : Control(form, std::move(name), Kind::kTabStrip) {
  ControlProperties& properties = Write();
  properties.items.assign(tabs.begin(), tabs.end());
  properties.list_index = properties.items.empty() ? -1 : 0;
  Changed();
}
int TabStrip::SelectedTab() const { return Read().list_index + 1; }
void TabStrip::SelectTab(int tab) {
  if (tab < 1 || static_cast<size_t>(tab) > Read().items.size()) Err.Raise(kErrInvalidCall, u"SelectedItem");
  Write().list_index = tab - 1;
  Changed();
}
