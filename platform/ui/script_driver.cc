// The script driver (tests, demos): every question takes the script's next step, which must match it; anything
// else ends the process loudly (FailUnanswered) rather than guess or hang.
#include <algorithm>
#include <memory>

#include "ui_private.h"
#include "xp/machine.h"
#include "xp/usbtoken.h"

namespace xp::ui {
namespace {

// Where the step this thread took last was written: the engine refuses an action on the thread that took it.
thread_local std::string last_taken;

class ScriptDriver : public Driver {
 public:
  explicit ScriptDriver(std::filesystem::path script) : script_(std::move(script)) {}

  int AnswerBox(const Box& box) override {
    const std::string question = BoxQuestion(box);
    const std::unique_ptr<ScriptSession> session = Open(question);
    PlayTokenSteps(*session, question);
    const Step* step = Current(*session);
    if (step == nullptr || step->kind != Step::Kind::kBox || !step->caption.Matches(box.caption) ||
        !step->text.Matches(box.text) || (step->style && *step->style != box.style)) {
      Mismatch(*session, question, question + " is shown");
    }
    const std::vector<int> buttons = BoxButtons(box.style);
    if (std::find(buttons.begin(), buttons.end(), step->answer) == buttons.end()) {
      FailUnanswered(question, Where(*session) + ": the answer " + ButtonName(step->answer) +
                                   " is not a button of " + question);
    }
    Advance(*session, question);
    return step->answer;
  }

  Action NextAction(const DialogView& dialog) override {
    const std::string question = DialogQuestion(dialog);
    const std::unique_ptr<ScriptSession> session = Open(question);
    PlayTokenSteps(*session, question);
    const Step* step = Current(*session);
    if (step == nullptr || step->kind != Step::Kind::kDialog || !Shows(*step, dialog)) {
      Mismatch(*session, question, question + " waits for the user");
    }
    return Take(*session, question);
  }

  std::optional<Action> PumpAction(const DialogView& dialog) override {
    const std::string question = DialogQuestion(dialog);
    const std::unique_ptr<ScriptSession> session = Open(question);
    const Step* step = Current(*session);
    // Only a pump step is for this moment; every other step waits for the dialog's next question.
    if (step == nullptr || step->kind != Step::Kind::kPump || !Shows(*step, dialog)) return std::nullopt;
    return Take(*session, question);
  }

  Action WaitForAttention(std::string_view screen) override {
    const std::string question = "ctrl-alt-del " + Quote(screen, true);
    const std::unique_ptr<ScriptSession> session = Open(question);
    PlayTokenSteps(*session, question);
    const Step* step = Current(*session);
    if (step == nullptr || step->kind != Step::Kind::kAttention || !step->caption.Matches(screen)) {
      Mismatch(*session, question, "Winlogon waits for Ctrl+Alt+Del on " + Quote(screen));
    }
    const Action attention = step->actions.front();
    Advance(*session, question);
    return attention;
  }

  void Rejected(const DialogView& dialog, const Action& action, const std::string& problem) override {
    FailUnanswered(DialogQuestion(dialog), last_taken + ": " + ActionText(action) + " cannot be done: " + problem);
  }

  void ControlChanged(const DialogView&, const Control&) override {}

 private:
  std::unique_ptr<ScriptSession> Open(const std::string& question) const {
    try {
      return std::make_unique<ScriptSession>(script_);
    } catch (const ScriptError& error) {
      FailUnanswered(question, "script " + script_.string() + " " + error.what());
    } catch (const std::exception& error) {
      FailUnanswered(question, error.what());
    }
  }

  // The person plugs in or pulls out a token before the next question is answered; a pump never plays these, so
  // a token step lands between the user's actions.
  static void PlayTokenSteps(ScriptSession& session, const std::string& question) {
    for (const Step* step = Current(session); step != nullptr && step->kind == Step::Kind::kToken;
         step = Current(session)) {
      const std::filesystem::path& machine = machine::Root();
      const std::vector<usbtoken::TokenInfo> tokens = usbtoken::List(machine);
      const auto token = std::find_if(tokens.begin(), tokens.end(), [&](const usbtoken::TokenInfo& info) {
        return step->token.empty() || info.id == step->token;
      });
      if (token == tokens.end()) {
        FailUnanswered(question, Where(session) + ": the machine has no token " + step->token);
      }
      const std::string id = token->id;
      if (token->plugged == step->plug) {
        FailUnanswered(question,
                       Where(session) + ": " + id + (step->plug ? " is plugged in already" : " is not plugged in"));
      }
      if (!(step->plug ? usbtoken::Plug(machine, id) : usbtoken::Unplug(machine, id))) {
        FailUnanswered(question,
                       Where(session) + ": " + id + " cannot be " + (step->plug ? "plugged in" : "pulled out"));
      }
      JournalUi(std::string("token ") + (step->plug ? "plug " : "unplug ") + id);
      Advance(session, question);
    }
  }

  static const Step* Current(const ScriptSession& session) {
    return session.step() < session.steps().size() ? &session.steps()[session.step()] : nullptr;
  }

  static bool Shows(const Step& step, const DialogView& dialog) {
    return step.dialog == dialog.id && step.caption.Matches(dialog.caption);
  }

  static std::string Where(const ScriptSession& session) {
    return "script " + session.script().string() + " line " + std::to_string(Current(session)->line);
  }

  // The expected step as written; for a line of several actions, which of them is due.
  static std::string Expected(const ScriptSession& session) {
    const Step& step = *Current(session);
    std::string expected = step.source;
    if (step.actions.size() > 1) {
      expected += " (action " + std::to_string(session.action() + 1) + " of " + std::to_string(step.actions.size()) +
                  ": " + ActionText(step.actions[session.action()]) + ")";
    }
    return expected;
  }

  [[noreturn]] static void Mismatch(const ScriptSession& session, const std::string& question,
                                    const std::string& actual) {
    if (Current(session) == nullptr) {
      FailUnanswered(question, "script " + session.script().string() + " ran out: " + actual);
    }
    FailUnanswered(question, Where(session) + ": expected " + Expected(session) + ", but " + actual);
  }

  Action Take(ScriptSession& session, const std::string& question) {
    const Action action = Current(session)->actions[session.action()];
    last_taken = Where(session);
    Advance(session, question);
    return action;
  }

  static void Advance(ScriptSession& session, const std::string& question) {
    try {
      session.Advance();
    } catch (const std::exception& error) {
      FailUnanswered(question, error.what());
    }
  }

  std::filesystem::path script_;
};

}  // namespace

std::shared_ptr<Driver> MakeScriptDriver(const std::filesystem::path& script) {
  return std::make_shared<ScriptDriver>(script);
}

}  // namespace xp::ui
