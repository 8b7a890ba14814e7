// The driver of a process nobody can answer (no script, no terminal): a box or dialog is journaled and the process
// aborts with a message naming it. Guessing an answer would let a run go on down a path nobody chose.
#include <cstdio>
#include <cstdlib>

#include "ui_private.h"

namespace xp::ui {
namespace {

[[noreturn]] void NobodyAnswers(const std::string& question) {
  JournalUi(question + " -> none");
  JournalUi("fail " + Quote("no user to answer"));
  std::fprintf(stderr,
               "xp ui: no user to answer %s\n"
               "xp ui: set XPMACHINE_UI=script:<file> or run from a terminal (XPMACHINE_UI=console)\n",
               question.c_str());
  std::fflush(nullptr);
  std::abort();
}

class NoUserDriver : public Driver {
 public:
  int AnswerBox(const Box& box) override { NobodyAnswers(BoxQuestion(box)); }
  Action NextAction(const DialogView& dialog) override { NobodyAnswers(DialogQuestion(dialog)); }
  std::optional<Action> PumpAction(const DialogView&) override { return std::nullopt; }
  Action WaitForAttention(std::string_view screen) override { NobodyAnswers("ctrl-alt-del " + Quote(screen, true)); }
  void Rejected(const DialogView& dialog, const Action&, const std::string&) override {
    NobodyAnswers(DialogQuestion(dialog));
  }
  void ControlChanged(const DialogView&, const Control&) override {}
};

}  // namespace

std::shared_ptr<Driver> MakeNoUserDriver() { return std::make_shared<NoUserDriver>(); }

}  // namespace xp::ui
