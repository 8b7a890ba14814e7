// The UI's lines in the machine's journal. Each starts "ui " and reuses the script's own syntax, so a journal of a
// run reads like the script that would replay it (the line formats are listed in README.md).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "ui_private.h"
#include "xp/processes.h"
#include "xp/machine.h"

namespace xp::ui {

namespace {

// A password edit's text as the journal keeps it: one '*' per character, so the length is all a reader learns.
std::string Masked(const std::string& text) { return std::string(text.size(), '*'); }

}  // namespace

void JournalUi(const std::string& line) { machine::Journal("ui " + line); }

std::string BoxQuestion(const Box& box) {
  return "box " + Quote(box.caption, true) + " " + Quote(box.text, true) + " " + StyleName(box.style);
}

std::string DialogQuestion(const DialogView& dialog) {
  return "dialog " + dialog.id + " " + Quote(dialog.caption, true);
}

std::string ControlState(const Control& control) {
  std::string state = ControlRefName(control.name.empty() ? ControlRef(control.id) : ControlRef(control.name));
  state += std::string(" ") + ControlKindName(control.kind) + " " +
           Quote(control.password ? Masked(control.text) : control.text);
  if (!control.visible) state += " hidden";
  if (!control.enabled) state += " disabled";
  if (control.read_only) state += " readonly";
  if (control.password) state += " password";
  if (control.default_button) state += " default";
  if (control.checked) state += " checked";
  if (control.limit != 0) state += " limit=" + std::to_string(control.limit);
  if (!control.items.empty()) {
    state += " items=";
    for (size_t i = 0; i < control.items.size(); ++i) state += (i > 0 ? "," : "") + Quote(control.items[i]);
  }
  if (control.selected >= 0) state += " selected=" + std::to_string(control.selected);
  if (control.kind == ControlKind::kProgress) {
    state += " pos=" + std::to_string(control.position) + " range=" + std::to_string(control.range_min) + ".." +
             std::to_string(control.range_max);
  }
  return state;
}

std::string ActionLine(const DialogView& dialog, const Action& action) {
  const Control* target = dialog.Find(action.control);
  if (action.kind != ActionKind::kType || target == nullptr || !target->password) return ActionText(action);
  Action masked = action;
  masked.text = Masked(action.text);
  return ActionText(masked);
}

[[noreturn]] void FailUnanswered(const std::string& question, const std::string& message) {
  JournalUi(question + " -> none");
  JournalUi("fail " + Quote(message));
  std::fprintf(stderr, "xp ui: %s\n", message.c_str());
  // Ends at once: unwinding out of a modal loop would run the program's code as if the user had answered.
  std::fflush(nullptr);
  machine::ExitAtOnce(kUiFailureExitCode);
}

}  // namespace xp::ui
