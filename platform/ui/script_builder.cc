// Test code writes UI scripts through Script (xp/ui_script.h) rather than by hand, so texts are always quoted
// and escaped the way the parser reads them.
#include <stdlib.h>

#include <algorithm>
#include <fstream>

#include "ui_private.h"
#include "xp/ui_script.h"

namespace xp::ui {
namespace {

Action MakeAction(ActionKind kind, ControlRef control = {}, std::string_view text = {}) {
  Action action;
  action.kind = kind;
  action.control = std::move(control);
  action.text = std::string(text);
  return action;
}

}  // namespace

Script::DialogStep& Script::DialogStep::Add(const Action& action) {
  std::string& line = script_->lines_[line_];
  size_t& count = script_->action_counts_[line_];
  line += (count == 0 ? " " : "; ") + ActionText(action);
  ++count;
  return *this;
}

Script::DialogStep& Script::DialogStep::Type(ControlRef control, std::string_view text) {
  return Add(MakeAction(ActionKind::kType, std::move(control), text));
}
Script::DialogStep& Script::DialogStep::Click(ControlRef control) {
  return Add(MakeAction(ActionKind::kClick, std::move(control)));
}
Script::DialogStep& Script::DialogStep::Check(ControlRef control) {
  return Add(MakeAction(ActionKind::kCheck, std::move(control)));
}
Script::DialogStep& Script::DialogStep::Uncheck(ControlRef control) {
  return Add(MakeAction(ActionKind::kUncheck, std::move(control)));
}
Script::DialogStep& Script::DialogStep::Select(ControlRef control, std::string_view item) {
  return Add(MakeAction(ActionKind::kSelect, std::move(control), item));
}
Script::DialogStep& Script::DialogStep::Enter() { return Add(MakeAction(ActionKind::kEnter)); }
Script::DialogStep& Script::DialogStep::Enter(ControlRef control) {
  return Add(MakeAction(ActionKind::kEnter, std::move(control)));
}
Script::DialogStep& Script::DialogStep::Escape() { return Add(MakeAction(ActionKind::kEscape)); }
Script::DialogStep& Script::DialogStep::Close() { return Add(MakeAction(ActionKind::kClose)); }
Script::DialogStep& Script::DialogStep::SystemMenu(int command) {
  Action action = MakeAction(ActionKind::kSystemMenu);
  action.item = command;
  return Add(std::move(action));
}
Script::DialogStep& Script::DialogStep::Focus(ControlRef control) {
  return Add(MakeAction(ActionKind::kFocus, std::move(control)));
}
Script::DialogStep& Script::DialogStep::CtrlAltDel() { return Add(MakeAction(ActionKind::kCtrlAltDel)); }
Script::DialogStep& Script::DialogStep::Sas(std::string_view kind) {
  return Add(MakeAction(ActionKind::kSas, {}, kind));
}
Script::DialogStep& Script::DialogStep::Power(std::string_view event) {
  return Add(MakeAction(ActionKind::kPower, {}, event));
}

Script& Script::BoxStep::Answer(int button_id) {
  script_->lines_.push_back(expectation_ + " -> " + ButtonName(button_id));
  script_->action_counts_.push_back(0);
  return *script_;
}

Script::BoxStep Script::ExpectBox(const Pattern& caption, const Pattern& text) {
  return BoxStep(this, "box " + caption.Source() + " " + text.Source());
}

Script::BoxStep Script::ExpectBox(const Pattern& caption, const Pattern& text, uint32_t style) {
  return BoxStep(this, "box " + caption.Source() + " " + text.Source() + " " + StyleName(style));
}

Script::DialogStep Script::OpenLine(std::string head) {
  lines_.push_back(std::move(head) + ":");
  action_counts_.push_back(0);
  return DialogStep(this, lines_.size() - 1);
}

Script::DialogStep Script::Dialog(int id) { return OpenLine("dialog " + std::to_string(id)); }
Script::DialogStep Script::Dialog(std::string_view form) { return OpenLine("dialog " + std::string(form)); }
Script::DialogStep Script::Dialog(int id, const Pattern& caption) {
  return OpenLine("dialog " + std::to_string(id) + " " + caption.Source());
}
Script::DialogStep Script::Dialog(std::string_view form, const Pattern& caption) {
  return OpenLine("dialog " + std::string(form) + " " + caption.Source());
}
Script::DialogStep Script::Pump(int id) { return OpenLine("pump " + std::to_string(id)); }
Script::DialogStep Script::Pump(std::string_view form) { return OpenLine("pump " + std::string(form)); }

Script& Script::CtrlAltDel(const Pattern& screen) {
  lines_.push_back("ctrl-alt-del " + screen.Source());
  action_counts_.push_back(0);
  return *this;
}

Script& Script::PlugToken(std::string_view id) {
  lines_.push_back("token plug" + (id.empty() ? std::string() : " " + std::string(id)));
  action_counts_.push_back(0);
  return *this;
}

Script& Script::UnplugToken(std::string_view id) {
  lines_.push_back("token unplug" + (id.empty() ? std::string() : " " + std::string(id)));
  action_counts_.push_back(0);
  return *this;
}

Script& Script::Sas(std::string_view kind, const Pattern& screen) {
  lines_.push_back("sas " + std::string(kind) + " " + screen.Source());
  action_counts_.push_back(0);
  return *this;
}

Script& Script::Power(std::string_view event, const Pattern& screen) {
  lines_.push_back("power " + std::string(event) + " " + screen.Source());
  action_counts_.push_back(0);
  return *this;
}

Script& Script::Comment(std::string_view text) {
  std::string line = "# " + std::string(text);
  std::replace(line.begin(), line.end(), '\n', ' ');
  lines_.push_back(std::move(line));
  action_counts_.push_back(0);
  return *this;
}

std::string Script::Text() const {
  std::string text;
  for (const std::string& line : lines_) text += line + "\n";
  return text;
}

std::filesystem::path Script::Install(const std::filesystem::path& machine_root) const {
  const std::filesystem::path file = std::filesystem::absolute(machine_root) / "ui.script";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << Text();
    out.flush();
    if (!out) throw std::runtime_error("cannot write the UI script " + file.string());
  }
  ResetScriptCursor(machine_root);
  ::setenv("XPMACHINE_UI", ("script:" + file.string()).c_str(), 1);
  return file;
}

}  // namespace xp::ui
