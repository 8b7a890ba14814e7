// The engine's front door: the calls the box and dialog front ends make. Each asks the process's driver, checks
// the answer against what is on screen, and journals the question with its answer; every box and dialog shown,
// and how it ended, is traced on the ui channel.
#include <algorithm>

#include "ui_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(ui);

namespace xp::ui {

int ShowBox(const Box& box) {
  const std::string question = BoxQuestion(box);
  XP_TRACE("ShowBox", "%s", question.c_str());
  if (!BoxStyleSupported(box.style)) {
    // A style no caller of the system uses: loud, and no answer is made up for it.
    JournalUi(question + " -> none");
    JournalUi("fail " + Quote("unsupported box style " + StyleName(box.style)));
    XP_FIXME("ShowBox", "unsupported style %s for %s", StyleName(box.style).c_str(), question.c_str());
    return 0;
  }
  const int answer = CurrentDriver()->AnswerBox(box);
  const std::vector<int> buttons = BoxButtons(box.style);
  if (std::find(buttons.begin(), buttons.end(), answer) == buttons.end()) {
    FailUnanswered(question, "the answer " + ButtonName(answer) + " is not a button of " + question);
  }
  JournalUi(question + " -> " + ButtonName(answer));
  XP_TRACE("ShowBox", "answered %s", ButtonName(answer).c_str());
  return answer;
}

void DialogOpened(const DialogView& dialog) {
  XP_TRACE("DialogOpened", "%s", DialogQuestion(dialog).c_str());
  JournalUi(DialogQuestion(dialog) + " open");
  for (const Control& control : dialog.controls) JournalUi("dialog " + dialog.id + " control " + ControlState(control));
}

void ControlChanged(const DialogView& dialog, const Control& control) {
  JournalUi("dialog " + dialog.id + " control " + ControlState(control));
  CurrentDriver()->ControlChanged(dialog, control);
}

Action NextAction(const DialogView& dialog) {
  const std::shared_ptr<Driver> driver = CurrentDriver();
  for (;;) {
    Action action = driver->NextAction(dialog);
    const std::string problem = CheckAction(dialog, action);
    if (problem.empty()) {
      JournalUi("dialog " + dialog.id + ": " + ActionLine(dialog, action));
      return action;
    }
    driver->Rejected(dialog, action, problem);
  }
}

std::optional<Action> PumpAction(const DialogView& dialog) {
  const std::shared_ptr<Driver> driver = CurrentDriver();
  std::optional<Action> action = driver->PumpAction(dialog);
  if (!action) return std::nullopt;
  const std::string problem = CheckAction(dialog, *action);
  if (!problem.empty()) {
    driver->Rejected(dialog, *action, problem);
    return std::nullopt;
  }
  JournalUi("pump " + dialog.id + ": " + ActionLine(dialog, *action));
  return action;
}

void DialogEnded(const DialogView& dialog, intptr_t result) {
  XP_TRACE("DialogEnded", "dialog %s end %ld", dialog.id.c_str(), static_cast<long>(result));
  JournalUi("dialog " + dialog.id + " end " + std::to_string(result));
}

void DialogNote(const DialogView& dialog, std::string_view what) {
  JournalUi("dialog " + dialog.id + " " + std::string(what));
}

void ScreenNote(std::string_view what) { JournalUi("screen " + std::string(what)); }

Action WaitForAttention(std::string_view screen) {
  Action attention = CurrentDriver()->WaitForAttention(screen);
  JournalUi(ActionText(attention) + " " + Quote(screen, true));
  return attention;
}

void WaitForCtrlAltDel(std::string_view screen) {
  XP_TRACE("WaitForCtrlAltDel", "%.*s", static_cast<int>(screen.size()), screen.data());
  const Action attention = WaitForAttention(screen);
  if (attention.kind != ActionKind::kCtrlAltDel) {
    FailUnanswered("ctrl-alt-del " + Quote(screen, true),
                   ActionText(attention) + " came while only Ctrl+Alt+Del was expected on " + Quote(screen));
  }
}

}  // namespace xp::ui
