// The script driver in one process: answers and actions in order, the journal lines of a box and of a dialog's
// life, pumps, and every way a script fails (mismatch, unexpected question, running out, an action the dialog
// cannot take), each ending the process with the UI failure code and its reason in the journal.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "demo_dialog.h"
#include "ui_fixture.h"
#include "winuser.h"
#include "xp/ui.h"
#include "xp/ui_script.h"
#include "xp/usbtoken.h"

namespace xp::ui::testing {
namespace {

using ScriptDriverTest = UiTest;

void ShowErrorBoxForToken() { ShowBox({"c", "t", MB_OK}); }

constexpr char kShutDownText[] =
    "Quillmarsh Tavik will temporarily shut down other running applications\r\nbefore decrypting your hard drive.";

TEST_F(ScriptDriverTest, AnswersBoxesInOrderAndJournalsEach) {
  UseScript(
      "box \"Quillmarsh Tavik\" \"Quillmarsh Tavik will temporarily shut down*\" -> OK\n"
      "box * \"It is recommended that you empty*\" MB_YESNO|MB_ICONQUESTION -> No\n"
      "box \"Quillmarsh Tavik Uninstallation\" * -> Yes\n");
  EXPECT_EQ(ShowBox({"Quillmarsh Tavik", kShutDownText, MB_ICONINFORMATION}), IDOK);
  EXPECT_EQ(ShowBox({"Quillmarsh Tavik Installation", "It is recommended that you empty the Windows temporary folder",
                     MB_YESNO | MB_ICONQUESTION}),
            IDNO);
  EXPECT_EQ(ShowBox({"Quillmarsh Tavik Uninstallation", "Continue?", MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2}),
            IDYES);
  EXPECT_EQ(ScriptStepsLeft(), 0u);
  EXPECT_EQ(UiJournal(), (std::vector<std::string>{
                             "box \"Quillmarsh Tavik\" \"Quillmarsh Tavik will temporarily shut down other running "
                             "applications\\r\\nbefore decrypting your hard drive.\" MB_OK|MB_ICONINFORMATION -> OK",
                             "box \"Quillmarsh Tavik Installation\" \"It is recommended that you empty the Windows "
                             "temporary folder\" MB_YESNO|MB_ICONQUESTION -> No",
                             "box \"Quillmarsh Tavik Uninstallation\" \"Continue?\" "
                             "MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 -> Yes",
                         }));
}

TEST_F(ScriptDriverTest, JournalsADialogsLifeControlByControl) {
  UseScript(
      "dialog 134 \"Create Password\": type 1000 \"secret123\"; type 1001 \"secret12\"; check 1005\n"
      "dialog 134: select 1003 \"User\"; click 1007; enter 1001\n");
  std::vector<std::string> taken;
  EXPECT_EQ(RunDemoDialog(&taken), IDOK);
  EXPECT_EQ(taken, (std::vector<std::string>{"type 1000 \"secret123\"", "type 1001 \"secret12\"", "check 1005",
                                             "select 1003 \"User\"", "click 1007", "enter 1001"}));
  EXPECT_EQ(UiJournal(), (std::vector<std::string>{
                             "dialog 134 \"Create Password\" open",
                             "dialog 134 control 1017 static \"Enter the new password:\\r\\n\\t8 characters\"",
                             "dialog 134 control 1000 edit \"\" password limit=8",
                             "dialog 134 control 1001 edit \"\" limit=8",
                             "dialog 134 control 1005 check \"Show characters\"",
                             "dialog 134 control 1006 radio \"Token\" checked",
                             "dialog 134 control 1007 radio \"Key Answer\"",
                             "dialog 134 control 1003 combo \"\" items=\"Administrator\",\"User\"",
                             "dialog 134 control 1010 button \"&Help\" disabled",
                             "dialog 134 control 1011 static \"not shown\" hidden",
                             "dialog 134 control 1002 edit \"\" readonly",
                             "dialog 134 control 1012 progress \"\" pos=0 range=0..200",
                             "dialog 134 control IDOK button \"OK\" default",
                             "dialog 134 control IDCANCEL button \"Cancel\"",
                             "dialog 134: type 1000 \"*********\"",
                             "dialog 134 control 1000 edit \"********\" password limit=8",
                             "dialog 134: type 1001 \"secret12\"",
                             "dialog 134 control 1001 edit \"secret12\" limit=8",
                             "dialog 134: check 1005",
                             "dialog 134 control 1005 check \"Show characters\" checked",
                             "dialog 134: select 1003 \"User\"",
                             "dialog 134 control 1003 combo \"User\" items=\"Administrator\",\"User\" selected=1",
                             "dialog 134: click 1007",
                             "dialog 134: enter 1001",
                             "dialog 134 end 1",
                         }));
}

TEST_F(ScriptDriverTest, PumpStepsComeOnlyWhenTheProgramPumps) {
  UseScript(
      "dialog 134: click 1005\n"
      "pump 134: close; escape\n"
      "box * * -> OK\n");
  const DialogView dialog = DemoDialog();
  // The next step is for the dialog's own question: a pump before it takes nothing.
  EXPECT_EQ(PumpAction(dialog), std::nullopt);
  EXPECT_EQ(ActionText(NextAction(dialog)), "click 1005");
  EXPECT_EQ(ActionText(PumpAction(dialog).value()), "close");
  EXPECT_EQ(ActionText(PumpAction(dialog).value()), "escape");
  EXPECT_EQ(PumpAction(dialog), std::nullopt);
  EXPECT_EQ(ShowBox({"c", "t", MB_OK}), IDOK);
  EXPECT_EQ(PumpAction(dialog), std::nullopt);  // a script played to the end has nothing more to pump
  EXPECT_EQ(UiJournal(), (std::vector<std::string>{"dialog 134: click 1005", "pump 134: close", "pump 134: escape",
                                                   "box \"c\" \"t\" MB_OK -> OK"}));
}

TEST_F(ScriptDriverTest, CtrlAltDelOnTheScreenTheScriptNames) {
  UseScript("ctrl-alt-del \"Welcome*\"\nctrl-alt-del\n");
  WaitForCtrlAltDel("Welcome to Windows");
  WaitForCtrlAltDel("Computer Locked");
  EXPECT_EQ(UiJournal(), (std::vector<std::string>{"ctrl-alt-del \"Welcome to Windows\"",
                                                   "ctrl-alt-del \"Computer Locked\""}));
}

// The person pulls the token out and puts it back between two questions; a pump plays no such step.
TEST_F(ScriptDriverTest, TokenStepsPlugAndUnplugBeforeTheNextQuestion) {
  const std::string token = usbtoken::Provision(root_, 3);
  UseScript(
      "dialog 134: click 1005\n"
      "token unplug\n"
      "box * * -> OK\n"
      "token plug " + token + "\n"
      "dialog 134: click 1005\n");
  const DialogView dialog = DemoDialog();
  EXPECT_EQ(ActionText(NextAction(dialog)), "click 1005");
  EXPECT_EQ(PumpAction(dialog), std::nullopt);
  EXPECT_TRUE(usbtoken::List(root_).front().plugged);
  EXPECT_EQ(ShowBox({"c", "t", MB_OK}), IDOK);
  EXPECT_FALSE(usbtoken::List(root_).front().plugged);
  EXPECT_EQ(ActionText(NextAction(dialog)), "click 1005");
  EXPECT_TRUE(usbtoken::List(root_).front().plugged);
  EXPECT_EQ(UiJournal(), (std::vector<std::string>{"dialog 134: click 1005", "token unplug " + token,
                                                   "box \"c\" \"t\" MB_OK -> OK", "token plug " + token,
                                                   "dialog 134: click 1005"}));
}

TEST_F(ScriptDriverTest, ATokenStepThatCannotBeDoneFailsTheRun) {
  const std::string token = usbtoken::Provision(root_, 3);
  const struct {
    const char* script;
    std::string failure;
  } cases[] = {
      {"token plug\nbox * * -> OK\n", " line 1: " + token + " is plugged in already"},
      {"token unplug token9\nbox * * -> OK\n", " line 1: the machine has no token token9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    const std::filesystem::path script = UseScript(c.script);
    EXPECT_EXIT(ShowErrorBoxForToken(), ::testing::ExitedWithCode(kUiFailureExitCode), "xp ui: script ");
    EXPECT_EQ(UiJournal().back(), "fail " + Quote("script " + script.string() + c.failure));
  }
}

TEST_F(ScriptDriverTest, AnUnsupportedStyleAsksNothingAndTakesNoStep) {
  UseScript("box * * -> OK\n");
  EXPECT_EQ(ShowBox({"Quillmarsh Tavik", "t", 0x1u}), 0);
  EXPECT_EQ(ScriptStepsLeft(), 1u);
  EXPECT_EQ(UiJournal(), (std::vector<std::string>{"box \"Quillmarsh Tavik\" \"t\" 0x00000001 -> none",
                                                   "fail \"unsupported box style 0x00000001\""}));
}

void ShowErrorBox() { ShowBox({"Quillmarsh Tavik", "There is already an instance running.", MB_OK | MB_ICONERROR}); }

TEST_F(ScriptDriverTest, FailsLoudlyWithTheExpectedAndActualStep) {
  const std::string error_box =
      "box \"Quillmarsh Tavik\" \"There is already an instance running.\" MB_OK|MB_ICONERROR";
  const std::string demo = "dialog 134 \"Create Password\"";
  const struct {
    const char* script;
    std::function<void()> show;
    std::string failure;  // after "script <file>"
  } cases[] = {
      {"dialog 134: click IDOK\n", ShowErrorBox,
       " line 1: expected dialog 134: click IDOK, but " + error_box + " is shown"},
      {"box \"Quillmarsh Tavik\" \"Installation completed.\" -> OK\n", ShowErrorBox,
       " line 1: expected box \"Quillmarsh Tavik\" \"Installation completed.\" -> OK, but " + error_box + " is shown"},
      {"box * * MB_OK -> OK\n", ShowErrorBox, " line 1: expected box * * MB_OK -> OK, but " + error_box + " is shown"},
      {"# nothing left\n", ShowErrorBox, " ran out: " + error_box + " is shown"},
      {"box * * -> Yes\n", ShowErrorBox, " line 1: the answer Yes is not a button of " + error_box},
      {"box * * -> OK\n", [] { RunDemoDialog(); },
       " line 1: expected box * * -> OK, but " + demo + " waits for the user"},
      {"dialog 136: click IDOK\n", [] { RunDemoDialog(); },
       " line 1: expected dialog 136: click IDOK, but " + demo + " waits for the user"},
      {"dialog 134 \"Change Password\": click IDOK\n", [] { RunDemoDialog(); },
       " line 1: expected dialog 134 \"Change Password\": click IDOK, but " + demo + " waits for the user"},
      {"pump 134: close\n", [] { RunDemoDialog(); },
       " line 1: expected pump 134: close, but " + demo + " waits for the user"},
      {"box * * -> OK\ndialog 134: type 1000 \"a\"; click IDOK\n",
       [] {
         ShowErrorBox();
         NextAction(DemoDialog());
         ShowErrorBox();
       },
       " line 2: expected dialog 134: type 1000 \"a\"; click IDOK (action 2 of 2: click IDOK), but " + error_box +
           " is shown"},
      {"dialog 134: click 1010\n", [] { RunDemoDialog(); },
       " line 1: click 1010 cannot be done: control 1010 is disabled"},
      {"dialog 134: click 1011\n", [] { RunDemoDialog(); },
       " line 1: click 1011 cannot be done: control 1011 is hidden"},
      {"dialog 134: click 1099\n", [] { RunDemoDialog(); },
       " line 1: click 1099 cannot be done: dialog 134 has no control 1099"},
      {"dialog 134: type 1002 \"x\"\n", [] { RunDemoDialog(); },
       " line 1: type 1002 \"x\" cannot be done: control 1002 is read-only"},
      {"dialog 134: type 1005 \"x\"\n", [] { RunDemoDialog(); },
       " line 1: type 1005 \"x\" cannot be done: control 1005 is a check, which cannot be typed into"},
      {"dialog 134: uncheck 1006\n", [] { RunDemoDialog(); },
       " line 1: uncheck 1006 cannot be done: control 1006 is a radio, which cannot be unchecked"},
      {"dialog 134: click 1017\n", [] { RunDemoDialog(); },
       " line 1: click 1017 cannot be done: control 1017 is a static, which cannot be clicked"},
      {"dialog 134: select 1003 \"Guest\"\n", [] { RunDemoDialog(); },
       " line 1: select 1003 \"Guest\" cannot be done: control 1003 has no item \"Guest\""},
      {"box \"a\" -> OK\n", ShowErrorBox, " line 1: expected the text (a quoted text or *)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    const std::filesystem::path script = UseScript(c.script);
    const size_t before = UiJournal().size();
    EXPECT_EXIT(c.show(), ::testing::ExitedWithCode(kUiFailureExitCode), "xp ui: script ");
    const std::vector<std::string> lines = UiJournal(before);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(lines[lines.size() - 2].ends_with(" -> none")) << lines[lines.size() - 2];
    EXPECT_EQ(lines.back(), "fail " + Quote("script " + script.string() + c.failure));
  }
}

TEST_F(ScriptDriverTest, TheFailedQuestionIsJournaledWhole) {
  UseScript("dialog 134: click IDOK\n");
  EXPECT_EXIT(ShowErrorBox(), ::testing::ExitedWithCode(kUiFailureExitCode), "but box \"Quillmarsh Tavik\"");
  EXPECT_EQ(UiJournal().at(0),
            "box \"Quillmarsh Tavik\" \"There is already an instance running.\" MB_OK|MB_ICONERROR -> none");
}

}  // namespace
}  // namespace xp::ui::testing
