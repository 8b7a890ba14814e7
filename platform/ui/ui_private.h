// Declarations shared inside the UI engine, grouped by the file that defines them.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "xp/ui.h"

namespace xp::ui {

// script_syntax.cc: one line of a script.
struct Step {
  enum class Kind { kBox, kDialog, kPump, kAttention, kToken };
  Kind kind = Kind::kBox;
  int line = 0;               // 1-based line in the script file
  std::string source;         // the line as written, for diagnostics
  Pattern caption = Pattern::Any();   // box caption, dialog caption, the screen of an attention step
  Pattern text = Pattern::Any();      // box text
  std::optional<uint32_t> style;      // box style, when the script checks it
  int answer = 0;                     // box
  std::string dialog;                 // dialog, pump
  std::vector<Action> actions;        // dialog, pump; the one event of an attention step
  bool plug = false;                  // token: plug it in (else pull it out)
  std::string token;                  // token: its id; empty for the machine's first token
};

// A script line the parser could not read.
class ScriptError : public std::runtime_error {
 public:
  ScriptError(int line, const std::string& message)
      : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

std::vector<Step> ParseScript(std::string_view text);
// One action as a person types it at the console; the text of type and select may be left unquoted (the rest of
// the line). Throws ScriptError (line 0) when it cannot be read.
Action ParseConsoleAction(std::string_view line);

// box_style.cc: the ID a box answer names ("Yes", "IDYES", case-insensitive), and one word of a style
// ("MB_YESNO", "0x24"); nullopt for anything else.
std::optional<int> ParseButtonName(std::string_view word);
std::optional<uint32_t> ParseStyleWord(std::string_view word);

// dialog_view.cc: IDOK..IDNO by name, or nullopt.
std::optional<int> ParseCommandIdName(std::string_view word);
const char* ControlKindName(ControlKind kind);

// action_check.cc: why `action` cannot be done in `dialog`, or "" when it can; a select gets its item index.
std::string CheckAction(const DialogView& dialog, Action& action);

// journal_lines.cc: the lines the engine writes to the machine's journal, each prefixed "ui ".
void JournalUi(const std::string& line);
std::string BoxQuestion(const Box& box);          // box "caption" "text" MB_OK
std::string DialogQuestion(const DialogView& dialog);  // dialog 134 "caption"
// Password edits are journaled masked: their text and what is typed into them as one '*' per character.
std::string ControlState(const Control& control);  // 1000 edit "" limit=63 password
std::string ActionLine(const DialogView& dialog, const Action& action);  // type 1000 "********"
// An attention action from a word ("ctrl-alt-del", "sas", "power") and, for sas and power, the name after it.
bool IsAttentionVerb(std::string_view verb);
// Journals "<question> -> none" and "fail <message>", prints "xp ui: <message>" on stderr and ends the process
// with kUiFailureExitCode.
[[noreturn]] void FailUnanswered(const std::string& question, const std::string& message);

// driver_choice.cc: the process's driver for the current XPMACHINE_UI.
std::shared_ptr<Driver> CurrentDriver();
// The script file XPMACHINE_UI names, or nullopt when it names no script.
std::optional<std::filesystem::path> ScriptPathFromEnvironment();

// The three drivers.
std::shared_ptr<Driver> MakeScriptDriver(const std::filesystem::path& script);
std::shared_ptr<Driver> MakeConsoleDriver(std::FILE* in, std::FILE* out);
std::shared_ptr<Driver> MakeNoUserDriver();

// script_cursor.cc: a script and the position reached in it, shared by every process of the machine. Holding a
// session holds the machine's UI lock, so each question takes its step atomically.
class ScriptSession {
 public:
  explicit ScriptSession(const std::filesystem::path& script);
  ~ScriptSession();
  ScriptSession(const ScriptSession&) = delete;
  ScriptSession& operator=(const ScriptSession&) = delete;

  const std::vector<Step>& steps() const { return steps_; }
  const std::filesystem::path& script() const { return script_; }
  size_t step() const { return step_; }
  size_t action() const { return action_; }
  // Moves past the current action (and its step when that was its last action) and writes the position.
  void Advance();

 private:
  void Save() const;
  std::filesystem::path script_;
  std::filesystem::path cursor_file_;
  std::string fingerprint_;
  std::vector<Step> steps_;
  size_t step_ = 0;
  size_t action_ = 0;
  int lock_fd_ = -1;
};

// Starts `script` from its first step (Script::Install).
void ResetScriptCursor(const std::filesystem::path& machine_root);

}  // namespace xp::ui
