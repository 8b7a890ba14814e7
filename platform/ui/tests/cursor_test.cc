// The script's position belongs to the machine: processes run one after another take the steps in turn, even in
// the middle of a dialog line, and a new script starts from its first step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui_fixture.h"
#include "winuser.h"
#include "xp/ui.h"
#include "xp/ui_script.h"

namespace xp::ui::testing {
namespace {

using ScriptCursorTest = UiTest;

TEST_F(ScriptCursorTest, EachProcessTakesUpWhereTheLastOneStopped) {
  UseScript(
      "box \"Quillmarsh Tavik\" \"Restart now?\" -> Yes\n"
      "box \"Quillmarsh Tavik\" \"Resume the installation?\" -> No\n"
      "dialog 134: type 1000 \"abc\"; click IDOK\n"
      "pump 134: close; escape\n");
  const ActorRun first = RunActor({"box", "Quillmarsh Tavik", "Restart now?", "4"});
  EXPECT_EQ(first.exit_code, 0) << first.err;
  EXPECT_EQ(first.out, "answer 6\n");

  const ActorRun second = RunActor({"box", "Quillmarsh Tavik", "Resume the installation?", "4", "dialog", "pump"});
  EXPECT_EQ(second.exit_code, 0) << second.err;
  EXPECT_EQ(second.out, "answer 7\naction type 1000 \"abc\"\naction click IDOK\nend 1\npump close\n");

  // The pump line was left after its first action; the next process gets the second.
  const ActorRun third = RunActor({"pump"});
  EXPECT_EQ(third.out, "pump escape\n");
  EXPECT_EQ(ScriptStepsLeft(), 0u);

  const ActorRun fourth = RunActor({"box", "Quillmarsh Tavik", "Restart now?", "4"});
  EXPECT_EQ(fourth.exit_code, kUiFailureExitCode);
  EXPECT_NE(fourth.err.find("ran out: box \"Quillmarsh Tavik\" \"Restart now?\" MB_YESNO is shown"), std::string::npos)
      << fourth.err;
  EXPECT_EQ(fourth.out, "");
}

TEST_F(ScriptCursorTest, ANewScriptStartsFromItsFirstStep) {
  UseScript("box * \"one\" -> OK\nbox * \"two\" -> OK\n");
  EXPECT_EQ(ShowBox({"c", "one", MB_OK}), IDOK);
  EXPECT_EQ(ScriptStepsLeft(), 1u);
  // Same file, other contents: the old position means nothing for it.
  UseScript("box * \"two\" -> OK\nbox * \"one\" -> OK\n");
  EXPECT_EQ(ScriptStepsLeft(), 2u);
  EXPECT_EQ(ShowBox({"c", "two", MB_OK}), IDOK);

  // Installing the same script again starts it again too.
  Script script;
  script.ExpectBox("c", "one").Answer(IDOK);
  script.Install(root_);
  EXPECT_EQ(ShowBox({"c", "one", MB_OK}), IDOK);
  script.Install(root_);
  EXPECT_EQ(ScriptStepsLeft(), 1u);
}

TEST_F(ScriptCursorTest, ARelativeScriptNameIsFoundInTheMachineFolder) {
  UseScript("box * * -> OK\n");
  ::setenv("XPMACHINE_UI", "script:test.script", 1);
  const ActorRun run = RunActor({"box", "c", "t", "0"});
  EXPECT_EQ(run.out, "answer 1\n") << run.err;
}

TEST_F(ScriptCursorTest, AMissingScriptFailsLoudly) {
  ::setenv("XPMACHINE_UI", ("script:" + (root_ / "absent.script").string()).c_str(), 1);
  const ActorRun run = RunActor({"box", "c", "t", "0"});
  EXPECT_EQ(run.exit_code, kUiFailureExitCode);
  EXPECT_NE(run.err.find("cannot read the UI script " + (root_ / "absent.script").string()), std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace xp::ui::testing
