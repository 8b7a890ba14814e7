// With nobody to answer (no script, stdin not a terminal) a box or dialog is journaled and the process aborts
// naming it: it never hangs and never makes up an answer. A driver setting that names no driver fails too.
#include <gtest/gtest.h>
#include <signal.h>

#include "demo_dialog.h"
#include "ui_fixture.h"
#include "winuser.h"
#include "xp/ui.h"

namespace xp::ui::testing {
namespace {

using NoUserTest = UiTest;

TEST_F(NoUserTest, ABoxAbortsTheProcessAfterItIsJournaled) {
  ::setenv("XPMACHINE_UI", "none", 1);
  EXPECT_DEATH(ShowBox({"Quillmarsh Tavik", "Installation completed.", MB_ICONINFORMATION}),
               "no user to answer box \"Quillmarsh Tavik\" \"Installation completed.\" MB_OK\\|MB_ICONINFORMATION");
  EXPECT_EQ(UiJournal(), (std::vector<std::string>{
                             "box \"Quillmarsh Tavik\" \"Installation completed.\" MB_OK|MB_ICONINFORMATION -> none",
                             "fail \"no user to answer\""}));
}

TEST_F(NoUserTest, ADialogAbortsTooButPumpsPassQuietly) {
  ::setenv("XPMACHINE_UI", "none", 1);
  EXPECT_EQ(PumpAction(DemoDialog()), std::nullopt);
  EXPECT_DEATH(RunDemoDialog(), "no user to answer dialog 134 \"Create Password\"");
}

TEST_F(NoUserTest, IsTheDefaultWhenStdinIsNoTerminal) {
  const ActorRun run = RunActor({"box", "Quillmarsh Tavik", "Is anybody there?", "4"});
  EXPECT_EQ(run.exit_code, 128 + SIGABRT);
  EXPECT_NE(run.err.find("xp ui: no user to answer box \"Quillmarsh Tavik\" \"Is anybody there?\" MB_YESNO"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.out, "");
}

TEST_F(NoUserTest, AnUnknownDriverSettingFails) {
  ::setenv("XPMACHINE_UI", "scripted:/tmp/x", 1);
  const ActorRun run = RunActor({"box", "c", "t", "0"});
  EXPECT_EQ(run.exit_code, kUiFailureExitCode);
  EXPECT_NE(run.err.find("XPMACHINE_UI=scripted:/tmp/x is none of script:<file>, console and none"),
            std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace xp::ui::testing
