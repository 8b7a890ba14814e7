// The console driver (a person at a terminal): prints each box or dialog and reads the answer or the next action
// from the terminal, in the same words a script uses. Progress and texts the program sets are printed as they come.
#include <strings.h>

#include <cstdlib>
#include <mutex>

#include "ui_private.h"

namespace xp::ui {
namespace {

// Texts as shown: CR LF as one line break. In a label (a static's, a button's) a lone '&' is the keyboard
// accelerator mark and hidden, "&&" one '&'; what the user typed, list items, captions and box texts show every
// character as it is.
std::string Shown(std::string_view text, std::string_view indent, bool label = false) {
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') continue;
    if (c == '&' && label) {
      if (i + 1 < text.size() && text[i + 1] == '&') shown += text[++i];
      continue;
    }
    shown += c;
    if (c == '\n') shown += indent;
  }
  return shown;
}

std::string Row(const Control& control) {
  std::string name = ControlRefName(control.name.empty() ? ControlRef(control.id) : ControlRef(control.name));
  name.resize(std::max<size_t>(name.size(), 8), ' ');
  std::string kind = ControlKindName(control.kind);
  kind.resize(9, ' ');
  const std::string indent(2 + name.size() + 1 + kind.size(), ' ');
  std::string row = "  " + name + " " + kind;
  switch (control.kind) {
    case ControlKind::kEdit:
      row += "[" + (control.password ? std::string(control.text.size(), '*') : Shown(control.text, indent)) + "]";
      if (control.read_only) row += "  read-only";
      if (control.limit != 0) row += "  limit " + std::to_string(control.limit);
      break;
    case ControlKind::kButton:
      row += "<" + Shown(control.text, indent, /*label=*/true) + ">";
      if (control.default_button) row += "  default";
      break;
    case ControlKind::kCheckBox:
      row += (control.checked ? "[x] " : "[ ] ") + Shown(control.text, indent, /*label=*/true);
      break;
    case ControlKind::kRadioButton:
      row += (control.checked ? "(o) " : "( ) ") + Shown(control.text, indent, /*label=*/true);
      break;
    case ControlKind::kComboBox:
    case ControlKind::kListBox:
      row += control.selected >= 0 && static_cast<size_t>(control.selected) < control.items.size()
                 ? Shown(control.items[control.selected], indent)
                 : std::string("(none)");
      for (const std::string& item : control.items) row += "\n" + indent + "- " + Shown(item, indent);
      break;
    case ControlKind::kProgress: {
      const int span = control.range_max - control.range_min;
      row += std::to_string(span > 0 ? (control.position - control.range_min) * 100 / span : 0) + "%";
      break;
    }
    default:
      row += Shown(control.text, indent, /*label=*/control.kind == ControlKind::kStatic ||
                                                    control.kind == ControlKind::kGroupBox);
  }
  if (!control.enabled) row += "  disabled";
  return row + "\n";
}

std::string Rendered(const DialogView& dialog) {
  std::string text = "\n=== " + dialog.id + ": " + Shown(dialog.caption, "") + " ===\n";
  for (const Control& control : dialog.controls) {
    if (control.visible) text += Row(control);
  }
  return text;
}

constexpr char kActionHelp[] =
    "  actions: type ID text | click ID | check ID | uncheck ID | select ID item | enter [ID] | focus ID | escape |\n"
    "           close | ctrl-alt-del   (ID: a number, IDOK..IDNO, or a form control's name; an empty line redraws)\n";

class ConsoleDriver : public Driver {
 public:
  ConsoleDriver(std::FILE* in, std::FILE* out) : in_(in), out_(out) {}

  int AnswerBox(const Box& box) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::vector<int> buttons = BoxButtons(box.style);
    std::string names;
    for (const int id : buttons) names += (names.empty() ? "" : ", ") + ButtonName(id);
    Print("\n=== " + Shown(box.caption, "") + " ===\n  " + Shown(box.text, "  ") + "\n  [" + names +
          "]  (Enter: " + ButtonName(DefaultBoxButton(box.style)) + ")\n");
    for (;;) {
      const std::optional<std::string> line = ReadLine("answer> ");
      if (!line) FailUnanswered(BoxQuestion(box), "the console closed while a box waited for an answer");
      if (line->empty()) return DefaultBoxButton(box.style);
      // Any unambiguous start of a button's name will do: "y" for Yes.
      std::vector<int> fits;
      for (const int id : buttons) {
        if (::strncasecmp(line->c_str(), ButtonName(id).c_str(), line->size()) == 0) fits.push_back(id);
      }
      if (fits.size() == 1) return fits.front();
      Print("  answer one of: " + names + "\n");
    }
  }

  Action NextAction(const DialogView& dialog) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (;;) {
      const std::string rendered = Rendered(dialog);
      if (rendered != last_rendered_) {
        Print(rendered + kActionHelp);
        last_rendered_ = rendered;
      }
      const std::optional<std::string> line = ReadLine("action> ");
      if (!line) {
        FailUnanswered(DialogQuestion(dialog), "the console closed while dialog " + dialog.id + " waited for the user");
      }
      if (line->empty()) {
        last_rendered_.clear();
        continue;
      }
      try {
        return ParseConsoleAction(*line);
      } catch (const ScriptError& error) {
        const std::string message = error.what();
        Print("  " + message.substr(message.find(": ") + 2) + "\n");
      }
    }
  }

  // A person cannot act while the program is busy: the console answers only when asked.
  std::optional<Action> PumpAction(const DialogView&) override { return std::nullopt; }

  // Enter is Ctrl+Alt+Del; "sas <kind>" and "power suspend|resume" are the other events.
  Action WaitForAttention(std::string_view screen) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    Print("\n=== " + std::string(screen) + " ===\n  Press Ctrl+Alt+Del to begin (Enter).\n");
    for (;;) {
      const std::optional<std::string> line = ReadLine("");
      if (!line) FailUnanswered("ctrl-alt-del " + Quote(screen, true), "the console closed before Ctrl+Alt+Del");
      if (line->empty()) return Action{ActionKind::kCtrlAltDel, {}, "", -1};
      try {
        const Action attention = ParseConsoleAction(*line);
        if (attention.kind == ActionKind::kCtrlAltDel || attention.kind == ActionKind::kSas ||
            attention.kind == ActionKind::kPower) {
          return attention;
        }
        Print("  only Enter (Ctrl+Alt+Del), sas <kind> or power suspend|resume here\n");
      } catch (const ScriptError& error) {
        const std::string message = error.what();
        Print("  " + message.substr(message.find(": ") + 2) + "\n");
      }
    }
  }

  void Rejected(const DialogView&, const Action& action, const std::string& problem) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    Print("  cannot " + ActionText(action) + ": " + problem + "\n");
  }

  void ControlChanged(const DialogView& dialog, const Control& control) override {
    if (!control.visible) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    Print("  [" + dialog.id + "] " + Row(control).substr(2));
  }

 private:
  void Print(const std::string& text) {
    std::fputs(text.c_str(), out_);
    std::fflush(out_);
  }

  std::optional<std::string> ReadLine(const char* prompt) {
    Print(prompt);
    std::string line;
    for (int c = std::fgetc(in_); c != '\n'; c = std::fgetc(in_)) {
      if (c == EOF) {
        if (line.empty()) return std::nullopt;
        break;
      }
      line += static_cast<char>(c);
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    line.erase(0, line.find_first_not_of(' '));
    return line;
  }

  std::FILE* in_;
  std::FILE* out_;
  std::mutex mutex_;
  std::string last_rendered_;
};

}  // namespace

std::shared_ptr<Driver> MakeConsoleDriver(std::FILE* in, std::FILE* out) {
  return std::make_shared<ConsoleDriver>(in, out);
}

}  // namespace xp::ui
