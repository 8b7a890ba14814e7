// The console driver as a person meets it, through a pipe on stdin: boxes and dialogs printed, answers and
// actions read in the script's words, mistakes asked again, and a console that closes ends the process.
#include <gtest/gtest.h>

#include <string>

#include "ui_fixture.h"
#include "xp/ui.h"

namespace xp::ui::testing {
namespace {

class ConsoleDriverTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ::setenv("XPMACHINE_UI", "console", 1);
  }
};

TEST_F(ConsoleDriverTest, ReadsTheAnswerToABox) {
  const struct {
    const char* style;
    std::string input;
    std::string answer;
  } cases[] = {
      {"0x4", "y\n", "answer 6\n"},
      {"0x4", "NO\n", "answer 7\n"},
      {"0x4", "  yes  \n", "answer 6\n"},
      {"0x4", "\n", "answer 6\n"},     // Enter: the default button
      {"0x104", "\n", "answer 7\n"},   // MB_DEFBUTTON2
      {"0x4", "maybe\n\x1b\nn\n", "answer 7\n"},
      {"0x10", "ok\n", "answer 1\n"},
      {"0x10", "\n", "answer 1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const ActorRun run = RunActor({"box", "Quillmarsh Tavik", "Read registry value failed!\r\nAssume Tavik installed.",
                                   c.style},
                                  c.input);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(run.out.ends_with(c.answer)) << run.out;
  }
}

TEST_F(ConsoleDriverTest, PrintsTheBoxAndAsksAgainUntilTheAnswerIsAButton) {
  const ActorRun run =
      RunActor({"box", "Quillmarsh Tavik", "Read registry value failed!\r\nAssume Tavik installed.", "0x24"},
               "maybe\nn\n");
  EXPECT_EQ(run.out,
            "\n=== Quillmarsh Tavik ===\n"
            "  Read registry value failed!\n"
            "  Assume Tavik installed.\n"
            "  [Yes, No]  (Enter: Yes)\n"
            "answer>   answer one of: Yes, No\n"
            "answer> answer 7\n");
  EXPECT_EQ(UiJournal(), (std::vector<std::string>{"box \"Quillmarsh Tavik\" \"Read registry value failed!\\r\\nAssume "
                                                   "Tavik installed.\" MB_YESNO|MB_ICONQUESTION -> No"}));
}

TEST_F(ConsoleDriverTest, ShowsTheDialogAndTakesActionsAsTyped) {
  const ActorRun run = RunActor({"dialog"},
                                "click 1010\n"
                                "jump\n"
                                "type 1000 secret123\n"
                                "type 1001 R&D\n"
                                "select 1003 User\n"
                                "check 1005\n"
                                "click IDOK\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const std::string& out = run.out;
  const char* shown[] = {
      "=== 134: Create Password ===\n",
      "  1017     static   Enter the new password:\n                    \t8 characters\n",
      "  1000     edit     []  limit 8\n",
      "  1005     check    [ ] Show characters\n",
      "  1006     radio    (o) Token\n",
      "  1003     combo    (none)\n                    - Administrator\n                    - User\n",
      "  1010     button   <Help>  disabled\n",
      "  1012     progress 0%\n",
      "  IDOK     button   <OK>  default\n",
      "  cannot click 1010: control 1010 is disabled\n",
      "  unknown action jump\n",
      "  [134] 1000     edit     [********]  limit 8\n",
      // Typed text shows as typed: '&' marks an accelerator only in labels.
      "  [134] 1001     edit     [R&D]  limit 8\n",
      "  [134] 1005     check    [x] Show characters\n",
      "action type 1000 \"secret123\"\naction type 1001 \"R&D\"\naction select 1003 \"User\"\naction check 1005\naction click IDOK\nend 1\n",
  };
  for (const char* text : shown) {
    EXPECT_NE(out.find(text), std::string::npos) << "missing: " << text << "\nin:\n" << out;
  }
  EXPECT_EQ(out.find("not shown"), std::string::npos);  // the hidden control
  EXPECT_EQ(out.find("secret12 "), std::string::npos);  // the password edit shows stars only
}

TEST_F(ConsoleDriverTest, AConsoleThatClosesEndsTheProcess) {
  const ActorRun box = RunActor({"box", "Quillmarsh Tavik", "Continue?", "4"}, "");
  EXPECT_EQ(box.exit_code, kUiFailureExitCode);
  EXPECT_NE(box.err.find("xp ui: the console closed while a box waited for an answer"), std::string::npos) << box.err;

  const ActorRun dialog = RunActor({"dialog"}, "type 1000 abc\n");
  EXPECT_EQ(dialog.exit_code, kUiFailureExitCode);
  EXPECT_NE(dialog.err.find("xp ui: the console closed while dialog 134 waited for the user"), std::string::npos)
      << dialog.err;
}

}  // namespace
}  // namespace xp::ui::testing
