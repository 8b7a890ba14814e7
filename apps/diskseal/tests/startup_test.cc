// The program's start: the disk-state flag's dispatch, the guards of its start and the refusals of its checks, each
// with its exact text, its exit code and what it leaves of RunOnce's "RunSetup".
#include "program_fixture.h"
#include "setupcore.h"
#include "tokenio.h"
#include "xp/ui.h"

namespace tavik::diskseal::testing {
namespace {

class StartupTest : public ProgramTest {
 protected:
  using ProgramTest::ProgramTest;
  bool Shown(const std::string& text) const {
    const std::vector<std::string> shown = MessagesShown();
    return std::find(shown.begin(), shown.end(), xp::ui::Quote(text)) != shown.end();
  }
};

TEST_F(StartupTest, EachFlagValueIsDispatched) {
  const struct {
    const char* flag;
    const char* message;
  } rows[] = {
      {"1", "Decryption Complete.\r\nPlease run uninstall from Start Menu."},
      {"3", "Decryption is not complete.\r\nPlease finish decryption and uninstall first."},
      {"7", "Invalid system state 7"},
      {"1234", "Get system status error failure."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.flag);
    SetText(HKEY_LOCAL_MACHINE, kFlagKey, "Decrypted", row.flag);
    xp::ui::Script script;
    const ProgramRun run = RunDiskseal(AnswerMessage(script, "Quillmarsh Tavik"));
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_TRUE(Shown(row.message));
  }
}

TEST_F(StartupTest, ASecondInstanceAndAnOrdinaryUserAreRefused) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "MorvelMutex");
  xp::ui::Script script;
  script.ExpectBox("Quillmarsh Tavik", "There is already an instance running.").Answer(IDOK);
  EXPECT_EQ(RunDiskseal(script).exit_code, 1);
  CloseHandle(mutex);

  ::setenv("XPMACHINE_USER", "User", 1);
  xp::ui::Script user_script;
  user_script
      .ExpectBox("Quillmarsh Tavik",
                 xp::ui::Pattern::Wildcard("Install can not continue and will exit because current user is not\r\n"
                                           "member of Administrators group.*"),
                 MB_OK | MB_ICONERROR)
      .Answer(IDOK);
  const ProgramRun run = RunDiskseal(user_script);
  ::unsetenv("XPMACHINE_USER");
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(Flag(), "4");
}

class FullVolumeTest : public StartupTest {
 protected:
  FullVolumeTest() : StartupTest({{'C', "fixed", 0x5A3C71E4}, {'D', "fixed", 0x1234ABCD, 0xC800000 - 1}}) {}
};

TEST_F(FullVolumeTest, AVolumeBelow200MiBRefusesWithTheSameFigure) {
  xp::ui::Script script;
  script.Dialog(IDD_PHASE_TWO).Click(IDOK);
  script
      .ExpectBox("Quillmarsh Tavik",
                 "Not enough free space. Installing Quillmarsh Tavik requires at least\r\n200M bytes free space on "
                 "each partition.\r\nPlease uninstall and retry install after you create more space.",
                 MB_OK | MB_ICONERROR)
      .Answer(IDOK);
  const ProgramRun run = RunDiskseal(script);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(RunSetup(), std::nullopt);
}

TEST_F(StartupTest, PasswordDialogsCheckBeforeTheyBurnAndGiveThreeTries) {
  Put("D:\\data\\a.txt", "stays plain");
  xp::ui::Script script;
  script.Dialog(IDD_PHASE_TWO).Click(IDOK);
  script.Dialog(IDD_CREATE_PASSWORD).Type(IDC_NEW_PASSWORD, "abcdef").Type(IDC_RETYPE_PASSWORD, "abcdeg").Click(IDOK);
  AnswerMessage(script, "Quillmarsh Tavik");
  script.Dialog(IDD_CREATE_PASSWORD).Type(IDC_NEW_PASSWORD, "abcde").Type(IDC_RETYPE_PASSWORD, "abcde").Click(IDOK);
  AnswerMessage(script, "Quillmarsh Tavik");
  script.Dialog(IDD_CREATE_PASSWORD).Type(IDC_NEW_PASSWORD, std::string(64, 'x'));
  AnswerMessage(script, "Quillmarsh Tavik Install");
  script.Dialog(IDD_CREATE_PASSWORD).Type(IDC_NEW_PASSWORD, kPassword).Type(IDC_RETYPE_PASSWORD, kPassword).Click(IDOK);
  for (int attempt = 0; attempt < 3; ++attempt) {
    script.Dialog(IDD_DISKSEAL_DIALOG).Type(IDC_PASSWORD, "wrong-password").Click(IDOK);
    AnswerMessage(script, "Quillmarsh Tavik");
  }
  AnswerMessage(script, "Maximum tries reached");
  const ProgramRun run = RunDiskseal(script);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_TRUE(
      Shown("The passwords you have entered do not match.\r\nThe passwords must match in order to continue "
            "\r\nPlease try again."));
  EXPECT_TRUE(Shown("Your password must be 6 to 63 characters in length."));
  EXPECT_TRUE(Shown("Maximum length of Tavik password is 63 characters."));
  EXPECT_TRUE(
      Shown("The password that you have entered does not match with your Tavik. Please click 'OK' to try "
            "again."));
  EXPECT_TRUE(Shown("Exit Install"));
  EXPECT_EQ(CheckPwd(kPassword), 0);
  EXPECT_EQ(Get("D:\\data\\a.txt"), "stays plain");
  EXPECT_EQ(Flag(), "4");
}

}  // namespace
}  // namespace tavik::diskseal::testing
