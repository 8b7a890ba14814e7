// Forms: load and unload, shows that nest inside events, hide, and the loop that asks the user what to do next on
// a shown form. One UI thread: the shown forms form a stack, the last shown on top, and the user acts on the form
// whose loop is running (a modal form) or on the top one (the program's own loop).
#include <algorithm>
#include <vector>

#include "forms_private.h"
#include "xp/form_windows.h"

namespace {

struct Runtime {
  std::vector<Form*> shown;  // most recently shown last
  std::vector<Form*> loaded;
  Form* active = nullptr;
};

Runtime& TheRuntime() {
  static Runtime* const runtime = new Runtime;
  return *runtime;
}

// A form's window until the program replaces the procedure: the close box unloads the form.
LRESULT FormWindowProc(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) {
    if (Form* form = FormRuntime::FormOfWindow(window)) Unload(*form);
  }
  return 0;
}

void Forget(std::vector<Form*>& forms, const Form* form) { std::erase(forms, form); }

}  // namespace

Form::Form(std::string name) : name_(std::move(name)), state_(std::make_unique<State>()) {}

Form::~Form() {
  if (!state_->loaded) return;
  xp::user32::DestroyFormWindow(state_->window);
  Runtime& runtime = TheRuntime();
  Forget(runtime.shown, this);
  Forget(runtime.loaded, this);
  if (runtime.active == this) runtime.active = nullptr;
}

void Form::Designed() {
  state_->designing = false;
  state_->now = state_->design;
  RunEvent([this] { Form_Initialize(); });
}

void Form::Touch() const {
  if (!state_->designing && !state_->loaded) Load(const_cast<Form&>(*this));
}

bool Form::Loaded() const { return state_->loaded; }
bool Form::Shown() const { return state_->shown; }

std::u16string Form::Caption() const {
  Touch();
  return state_->now.caption;
}

void Form::SetCaption(std::u16string caption) {
  Touch();
  (state_->designing ? state_->design : state_->now).caption = std::move(caption);
  if (state_->designing) state_->now = state_->design;
}

HWND Form::hWnd() {
  Touch();
  return state_->window;
}

int Form::MousePointer() const {
  Touch();
  return state_->now.pointer;
}

void Form::SetMousePointer(int pointer) {
  Touch();
  if (state_->now.pointer == pointer) return;
  state_->now.pointer = pointer;
  if (state_->shown) Note(*this, "pointer " + std::to_string(pointer));
}

float Form::Left() const {
  Touch();
  return state_->now.left;
}
float Form::Top() const {
  Touch();
  return state_->now.top;
}
float Form::Width() const {
  Touch();
  return state_->now.width;
}
float Form::Height() const {
  Touch();
  return state_->now.height;
}

void Form::Move(float left, float top, float width, float height) {
  Touch();
  State::Look& look = state_->designing ? state_->design : state_->now;
  const bool resized = look.width != width || look.height != height;
  look.left = left;
  look.top = top;
  look.width = width;
  look.height = height;
  if (state_->designing) {
    state_->now = state_->design;
  } else if (resized) {
    RunEvent([this] { Form_Resize(); });
  }
}

void Form::SetKeyPreview(bool key_preview) {
  Touch();
  (state_->designing ? state_->design : state_->now).key_preview = key_preview;
  if (state_->designing) state_->now = state_->design;
}

Control* Form::ActiveControl() const {
  Touch();
  return state_->focus;
}

void Load(Form& form) {
  Form::State& state = FormRuntime::StateOf(form);
  if (state.loaded || state.designing) return;
  state.now = state.design;
  for (Control* control : form.Controls()) FormRuntime::SetDesign(*control);
  state.window = xp::user32::CreateFormWindow(form.Name(), FormWindowProc);
  state.loaded = true;
  state.resized_since_load = false;
  state.focus = nullptr;
  TheRuntime().loaded.push_back(&form);
  RunEvent([&form] { FormRuntime::Load(form); });
}

void Unload(Form& form) {
  Form::State& state = FormRuntime::StateOf(form);
  if (!state.loaded) return;
  int cancel = 0;
  RunEvent([&form, &cancel] { FormRuntime::Unload(form, cancel); });
  if (cancel != 0 || !state.loaded) return;
  Note(form, "unload");
  xp::user32::DestroyFormWindow(state.window);
  state.window = nullptr;
  state.loaded = false;
  state.shown = false;
  state.focus = nullptr;
  state.reported.clear();
  Runtime& runtime = TheRuntime();
  Forget(runtime.shown, &form);
  Forget(runtime.loaded, &form);
  if (runtime.active == &form) runtime.active = nullptr;
}

void Form::Show(ShowMode mode) {
  Touch();
  if (mode == ShowMode::kModal && state_->shown) Err.Raise(kErrAlreadyShownModal, u"Show");
  if (!state_->shown) {
    state_->shown = true;
    TheRuntime().shown.push_back(this);
    if (state_->focus == nullptr) state_->focus = FirstTabStop(*this);
    ReportShown(*this);
    if (!state_->resized_since_load) {
      state_->resized_since_load = true;
      RunEvent([this] { Form_Resize(); });
    }
  }
  if (mode == ShowMode::kModeless) return;
  while (state_->loaded && state_->shown) FormRuntime::Turn(*this);
}

void Form::Hide() {
  Touch();
  if (!state_->shown) return;
  state_->shown = false;
  state_->reported.clear();
  Note(*this, "hide");
  Runtime& runtime = TheRuntime();
  Forget(runtime.shown, this);
  if (runtime.active == this) runtime.active = nullptr;
}

Form* FormRuntime::TopShownForm() {
  const Runtime& runtime = TheRuntime();
  return runtime.shown.empty() ? nullptr : runtime.shown.back();
}

void FormRuntime::Turn(Form& form) {
  Runtime& runtime = TheRuntime();
  if (runtime.active != &form) {
    runtime.active = &form;
    RunEvent([&form] { form.Form_Activate(); });
    return;
  }
  const xp::ui::Action action = xp::ui::NextAction(ViewOf(form));
  // A device plugged in or pulled out while the user was about to act reaches the windows first.
  RunEvent([] { xp::user32::DeliverBroadcastsToForms(); });
  if (!form.Loaded()) return;
  RunEvent([&form, &action] { Perform(form, action); });
}

Form* FormRuntime::FormOfWindow(HWND window) {
  for (Form* form : TheRuntime().loaded) {
    if (StateOf(*form).window == window) return form;
  }
  return nullptr;
}
