// The UI engine: every message box, modal dialog and form of a machine process asks the process's UI driver what
// the user does next, and everything shown and answered is recorded in the machine's journal. Never included by
// system code; user32, the dialog framework, the form runtime and the Winlogon host are built on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace xp::ui {

// How a process ends when its UI cannot be answered: an unexpected box or dialog, a step that does not match, a
// script that ran out, an action the script names on a control that cannot take it, a console that closed.
inline constexpr int kUiFailureExitCode = 86;

// A text a script expects: exact, or with '*' standing for any run of characters.
class Pattern {
 public:
  // Exact text; implicit so that a plain string expects exactly itself.
  Pattern(std::string_view text) : pieces_{std::string(text)} {}
  Pattern(const char* text) : Pattern(std::string_view(text)) {}
  Pattern(const std::string& text) : Pattern(std::string_view(text)) {}
  // Every '*' in `pattern` matches any run of characters, none included.
  static Pattern Wildcard(std::string_view pattern);
  static Pattern Any() { return Wildcard("*"); }
  // The texts between the wildcards, in order (one piece: an exact text).
  static Pattern FromPieces(std::vector<std::string> pieces);

  bool Matches(std::string_view text) const;
  // As a script writes it: * alone, or a quoted string where '*' is a wildcard and \* a star.
  std::string Source() const;

 private:
  Pattern() = default;
  std::vector<std::string> pieces_;
};

// ---- Message boxes (MessageBoxA, the forms' MsgBox, WlxMessageBox: all use the MB_* style bits).

struct Box {
  std::string caption;
  std::string text;
  uint32_t style = 0;
};

// True for the styles some caller of the system shows: MB_OK or MB_YESNO, at most one icon, MB_DEFBUTTON2.
bool BoxStyleSupported(uint32_t style);
// The buttons of a supported style as the IDs they return (IDOK, IDYES, IDNO), left to right.
std::vector<int> BoxButtons(uint32_t style);
// The button Enter presses.
int DefaultBoxButton(uint32_t style);

// Shows the box and returns the ID of the button the user pressed. An unsupported style is journaled and
// reported on stderr, and returns 0 with no question asked: the caller fails the call.
int ShowBox(const Box& box);

// ---- Dialogs and forms: a set of controls the user acts on, named by a resource number or a form name.

enum class ControlKind { kStatic, kEdit, kButton, kCheckBox, kRadioButton, kComboBox, kListBox, kProgress, kGroupBox,
                         kImage };

// A control as the user sees it. Dialog controls are named by ID, form controls by name (their id is 0).
struct Control {
  int id = 0;
  std::string name;
  ControlKind kind = ControlKind::kStatic;
  std::string text;  // caption, contents, or for a combo box the text of its selection
  bool enabled = true;
  bool visible = true;
  bool read_only = false;
  bool password = false;        // an edit that shows '*' for each character
  bool default_button = false;  // the button Enter presses
  size_t limit = 0;             // an edit's LimitText/MaxLength; 0 = none
  bool checked = false;         // check box, radio button
  std::vector<std::string> items;  // combo box, list box
  int selected = -1;               // index into items; -1 = none
  int position = 0;                // progress bar
  int range_min = 0;
  int range_max = 100;

  bool operator==(const Control&) const = default;
};

// Names a control in an action: by ID (IDOK is 1) or, for a form, by name.
struct ControlRef {
  ControlRef() = default;
  ControlRef(int control_id) : id(control_id) {}
  ControlRef(std::string control_name) : name(std::move(control_name)) {}
  ControlRef(const char* control_name) : name(control_name) {}
  bool empty() const { return id == 0 && name.empty(); }
  bool Matches(const Control& control) const;

  int id = 0;
  std::string name;
};

struct DialogView {
  std::string id;  // "134" for dialog resource 134, "frmBurnPwd" for a form
  std::string caption;
  std::vector<Control> controls;
  std::vector<int> system_menu;  // the commands of the items a program added to the dialog's system menu

  const Control* Find(const ControlRef& ref) const;
};

enum class ActionKind { kType, kClick, kCheck, kUncheck, kSelect, kEnter, kEscape, kClose, kFocus, kCtrlAltDel, kSas,
                        kPower, kSystemMenu };

// What the user does next. type: focus the edit, replace its contents by typing `text` (the framework applies the
// edit's limit). select: choose the item whose text is `text`; the engine sets `item` to its index. enter: press
// Enter, in `control` when one is named. close: the close box (WM_CLOSE). ctrl-alt-del: the secure-attention keys.
// sas: another secure-attention event Winlogon raises, named by `text` (kSasNames). power: the machine suspends or
// resumes, `text` "suspend" or "resume". system-menu: the item of the dialog's system menu whose command is `item`.
struct Action {
  ActionKind kind = ActionKind::kClick;
  ControlRef control;
  std::string text;
  int item = -1;
};

// The secure-attention events besides Ctrl+Alt+Del, as scripts name them, with Winlogon's SAS types: the input
// time-out, the screen saver's time-out, the user ending a secure screen saver, a log-off by the user.
struct SasKind {
  const char* name;
  uint32_t type;
};
inline constexpr SasKind kSasKinds[] = {
    {"timeout", 0}, {"screen-saver", 2}, {"screen-saver-activity", 3}, {"user-logoff", 4}};
inline constexpr uint32_t kCtrlAltDelSas = 1;
// The SAS type of a kCtrlAltDel or kSas action.
uint32_t SasTypeOf(const Action& action);
inline constexpr const char* kPowerNames[] = {"suspend", "resume"};

// The modal loop's calls, in the order a dialog lives: opened (its controls as first shown), changes the program
// makes while it is up, then repeatedly the user's next action until the program ends it with a result.
void DialogOpened(const DialogView& dialog);
void ControlChanged(const DialogView& dialog, const Control& control);
// Blocks until the user acts; the action is valid for `dialog` (the control exists, is visible and enabled, and
// takes that action).
Action NextAction(const DialogView& dialog);
// A long operation inside `dialog` lets messages through: what the user does meanwhile, if anything. Never blocks.
std::optional<Action> PumpAction(const DialogView& dialog);
void DialogEnded(const DialogView& dialog, intptr_t result);
// What else the user sees happen to a dialog or form, journaled as "dialog <id> <what>" (it is hidden or unloaded,
// the focus moves, its mouse pointer changes, it is put on top of every window), or to the whole screen, as
// "screen <what>" (the screen's mouse pointer).
void DialogNote(const DialogView& dialog, std::string_view what);
void ScreenNote(std::string_view what);

// Winlogon waits on `screen` (no dialog of its own is up) for what comes next: the secure-attention keys
// (kCtrlAltDel), another secure-attention event (kSas) or a power event (kPower).
Action WaitForAttention(std::string_view screen);
// The same when only the keys may come next; anything else fails the run.
void WaitForCtrlAltDel(std::string_view screen);

// ---- The text forms shared by scripts and journal lines.

// "text" with \\ \" \r \n \t and \xHH for other control bytes; with `pattern`, '*' is written \* (literal).
std::string Quote(std::string_view text, bool pattern = false);
// "MB_YESNO|MB_ICONQUESTION", or 0x.. for a style with bits outside the supported set.
std::string StyleName(uint32_t style);
// "OK", "Yes", ... for IDOK, IDYES, ...; the number otherwise.
std::string ButtonName(int id);
// IDOK..IDNO by name, other IDs as numbers, form controls by name.
std::string ControlRefName(const ControlRef& ref);
// The action as a script writes it: type 1000 "secret12", click IDOK, select 1003 "Administrator", enter.
std::string ActionText(const Action& action);

// ---- Drivers: who answers. One per process, chosen from XPMACHINE_UI (platform/ui/README.md).

class Driver {
 public:
  virtual ~Driver() = default;
  virtual int AnswerBox(const Box& box) = 0;
  virtual Action NextAction(const DialogView& dialog) = 0;
  virtual std::optional<Action> PumpAction(const DialogView& dialog) = 0;
  virtual Action WaitForAttention(std::string_view screen) = 0;
  // The engine refused `action` for `problem`; a person is asked again, a script fails.
  virtual void Rejected(const DialogView& dialog, const Action& action, const std::string& problem) = 0;
  virtual void ControlChanged(const DialogView& dialog, const Control& control) = 0;
};

}  // namespace xp::ui
