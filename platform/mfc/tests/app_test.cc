// A dialog program through the framework's entry: InitInstance runs with the program's templates and the UI driver,
// FALSE ends the process with ExitInstance's code, and TRUE (a main-window message loop) fails loudly.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "framework_fixture.h"
#include "sample_dlg.h"
#include "xp/ui_script.h"

extern char** environ;

namespace xp::mfc::testing {
namespace {

struct AppRun {
  int exit_code = -1;
  std::string err;
};

// Runs the sample program beside this test program, its stderr kept.
AppRun RunSampleApp(const std::filesystem::path& folder) {
  AppRun run;
  const std::string program =
      (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "xp_mfc_sample_app").string();
  const std::filesystem::path err_file = folder / "sample_app.err";
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::ostringstream err;
  err << std::ifstream(err_file).rdbuf();
  run.err = err.str();
  return run;
}

using AppTest = FrameworkTest;

TEST_F(AppTest, InitInstanceRunsTheDialogAndExitInstanceGivesTheExitCode) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Type(kPassword, "secret12").Type(kConfirm, "secret1");
  script.Dialog(kSampleDialog).Click(IDOK);
  script.ExpectBox("Sample App", "The passwords you have entered do not match.").Answer(IDOK);
  script.Dialog(kSampleDialog).Click(IDCANCEL);
  Play(script);
  const AppRun run = RunSampleApp(root_);
  EXPECT_EQ(run.exit_code, 40 + IDCANCEL) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(UiJournal().back(), "dialog 300 end 2");
}

TEST_F(AppTest, AProgramThatWantsTheMessageLoopFailsLoudly) {
  ::setenv("XP_SAMPLE_APP_RUN", "1", 1);
  const AppRun run = RunSampleApp(root_);
  ::unsetenv("XP_SAMPLE_APP_RUN");
  EXPECT_EQ(run.exit_code, ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_NE(run.err.find("fixme:mfc:CWinApp::Run"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace xp::mfc::testing
