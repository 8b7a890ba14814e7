// Writing a UI script from test code: the boxes and dialogs a run will show and what the user does in each, in
// order. Install() makes it the script of this process and of every process it starts. Test support only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "xp/ui.h"

namespace xp::ui {

class Script {
 public:
  // The actions of one dialog (or pump) line, appended in order.
  class DialogStep {
   public:
    DialogStep& Type(ControlRef control, std::string_view text);
    DialogStep& Click(ControlRef control);
    DialogStep& Check(ControlRef control);
    DialogStep& Uncheck(ControlRef control);
    DialogStep& Select(ControlRef control, std::string_view item);
    DialogStep& Enter();
    DialogStep& Enter(ControlRef control);
    DialogStep& Escape();
    DialogStep& Close();
    // Chooses the system menu's item with this command (WM_SYSCOMMAND).
    DialogStep& SystemMenu(int command);
    DialogStep& Focus(ControlRef control);
    DialogStep& CtrlAltDel();
    // Winlogon's other secure-attention events (kSasNames) and the power events (kPowerNames) in the dialog.
    DialogStep& Sas(std::string_view kind);
    DialogStep& Power(std::string_view event);

   private:
    friend class Script;
    DialogStep(Script* script, size_t line) : script_(script), line_(line) {}
    DialogStep& Add(const Action& action);
    Script* script_;
    size_t line_;
  };

  // A box the script expects; Answer() completes the line.
  class [[nodiscard]] BoxStep {
   public:
    Script& Answer(int button_id);

   private:
    friend class Script;
    BoxStep(Script* script, std::string expectation) : script_(script), expectation_(std::move(expectation)) {}
    Script* script_;
    std::string expectation_;
  };

  BoxStep ExpectBox(const Pattern& caption, const Pattern& text);
  // Also checks the box's MB_* style.
  BoxStep ExpectBox(const Pattern& caption, const Pattern& text, uint32_t style);
  // Dialog resource `id` (or form `form`) waits for the user; with `caption`, its caption must match too.
  DialogStep Dialog(int id);
  DialogStep Dialog(std::string_view form);
  DialogStep Dialog(int id, const Pattern& caption);
  DialogStep Dialog(std::string_view form, const Pattern& caption);
  // What the user does while dialog `id` is busy and lets messages through (a close attempt mid-operation).
  DialogStep Pump(int id);
  DialogStep Pump(std::string_view form);
  // The secure-attention keys while Winlogon waits on `screen`.
  Script& CtrlAltDel(const Pattern& screen = Pattern::Any());
  // The person plugs the token `id` in, or pulls it out, before the next box or dialog question is answered (never
  // while a dialog is busy). Without an id: the machine's first token.
  Script& PlugToken(std::string_view id = {});
  Script& UnplugToken(std::string_view id = {});
  // Another secure-attention event, or a power event, while Winlogon waits on `screen`.
  Script& Sas(std::string_view kind, const Pattern& screen = Pattern::Any());
  Script& Power(std::string_view event, const Pattern& screen = Pattern::Any());
  Script& Comment(std::string_view text);

  // The script file's text.
  std::string Text() const;
  // Writes the script to DIR/ui.script, starts it from its first step and sets XPMACHINE_UI=script:<file> for
  // this process and its children. Throws std::runtime_error when the file cannot be written.
  std::filesystem::path Install(const std::filesystem::path& machine_root) const;

 private:
  DialogStep OpenLine(std::string head);
  std::vector<std::string> lines_;
  std::vector<size_t> action_counts_;
};

// How many steps of the current script (XPMACHINE_UI) are still to come; 0 when it was played to the end.
size_t ScriptStepsLeft();

}  // namespace xp::ui
