// Declarations shared inside the form runtime, grouped by the file that defines them.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "forms.h"
#include "xp/ui.h"

// A form's state besides its controls: what a Load resets to the design, and what the runtime keeps of its life.
struct Form::State {
  struct Look {
    std::u16string caption;
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    bool key_preview = false;
    int pointer = kDefaultPointer;
  };
  bool designing = true;
  bool loaded = false;
  bool shown = false;
  bool resized_since_load = false;
  HWND window = nullptr;
  Look design;
  Look now;
  Control* focus = nullptr;
  // What the UI engine last heard of each control while the form is shown.
  std::map<const Control*, xp::ui::Control> reported;
};

// The runtime's own access to forms (form.cc, form_view.cc, user_actions.cc, program.cc).
class FormRuntime {
 public:
  static Form::State& StateOf(const Form& form) { return *form.state_; }
  static void Load(Form& form) { form.Form_Load(); }
  static void Unload(Form& form, int& cancel) { form.Form_Unload(cancel); }
  static void KeyDown(Form& form, int& key_code) { form.Form_KeyDown(key_code, 0); }
  static void SetDesign(Control& control) { control.now_ = control.design_; }

  // form.cc: the shown forms, most recently shown last, and the one the user acts on.
  static Form* TopShownForm();
  // Asks the user for the next action on `form` and carries it out (activating it first when another form was
  // active): one turn of a form's loop.
  static void Turn(Form& form);
  // The form whose window this is, or nullptr.
  static Form* FormOfWindow(HWND window);
};

// errors.cc: runs an event of the program; an error it does not trap ends the program (box, exit code 1).
void RunEvent(const std::function<void()>& event);
// The runtime's text for an error number without a description of its own.
std::u16string ErrorText(long number);

// form_view.cc: the form as the UI engine sees it, and the reports to the engine.
xp::ui::DialogView ViewOf(const Form& form);
xp::ui::Control ControlView(const Control& control);
// The user sees the form now: journals it with every control's state.
void ReportShown(Form& form);
// Reports a control whose state differs from what the engine last heard, while its form is shown.
void ReportChange(const Control& control);
void Note(const Form& form, const std::string& what);

// user_actions.cc: carries out what the user did on the form.
void Perform(Form& form, const xp::ui::Action& action);
// The control that takes the focus when the form is first shown: the lowest tab index that can.
Control* FirstTabStop(const Form& form);
bool TakesFocus(const Control& control);
