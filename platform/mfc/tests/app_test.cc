// A dialog program through the framework's entry: InitInstance runs with the program's templates and the UI driver,
// FALSE ends the process with ExitInstance's code, and TRUE (a main-window message loop) fails loudly.
#include <gtest/gtest.h>

#include <string>

#include "framework_fixture.h"
#include "run_program.h"
#include "sample_dlg.h"
#include "xp/ui_script.h"

namespace xp::mfc::testing {
namespace {

struct AppRun {
  int exit_code = -1;
  std::string err;
};

// Runs the sample program beside this test program, its stderr kept.
AppRun RunSampleApp() {
  const xp::test::ProgramRun run =
      xp::test::RunProgram(xp::test::BuildProgram("xp_mfc_sample_app"), {}, xp::test::Stderr::kApart);
  return {run.exit_code, run.error};
}

using AppTest = FrameworkTest;

TEST_F(AppTest, InitInstanceRunsTheDialogAndExitInstanceGivesTheExitCode) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Type(kPassword, "secret12").Type(kConfirm, "secret1");
  script.Dialog(kSampleDialog).Click(IDOK);
  script.ExpectBox("Sample App", "The passwords you have entered do not match.").Answer(IDOK);
  script.Dialog(kSampleDialog).Click(IDCANCEL);
  Play(script);
  const AppRun run = RunSampleApp();
  EXPECT_EQ(run.exit_code, 40 + IDCANCEL) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(UiJournal().back(), "dialog 300 end 2");
}

TEST_F(AppTest, AProgramThatWantsTheMessageLoopFailsLoudly) {
  ::setenv("XP_SAMPLE_APP_RUN", "1", 1);
  const AppRun run = RunSampleApp();
  ::unsetenv("XP_SAMPLE_APP_RUN");
  EXPECT_EQ(run.exit_code, ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_NE(run.err.find("fixme:mfc:CWinApp::Run"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace xp::mfc::testing
