// The start form: its Continue routes a clean token to the assignment form and a token with a password (or a
// device failure) to the change form, asks the token once per run, and keeps the form when no token answers; a
// token library that cannot be bound is reported, never a crash.
#include <algorithm>

#include "program_fixture.h"
#include "xp/faults.h"

namespace tokenpass::testing {
namespace {

using IntroTest = TokenpassTest;

TEST_F(IntroTest, ACleanTokenGoesToTheAssignmentFormAndOneWithAPasswordToTheChangeForm) {
  const struct {
    const char* password;  // on the token before the run; "" for none
    const char* form;
    uint16_t counter_after;  // the probe with the empty password counts a failure on a token with a password
  } cases[] = {{"", "frmBurnPwd", 0}, {"Secret12", "frmChangePwd", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.form);
    xp::test::ScratchMachine machine;
    if (*c.password != '\0') SetTokenPassword(c.password);
    xp::ui::Script script;
    script.Dialog("frmIntro", kCaption).Click("Command1");
    script.Dialog(c.form, kCaption).Close();
    script.Install(machine.root());
    const xp::test::ProgramRun run = xp::test::RunProgram(xp::test::BuildProgram("tokenpass"), {});
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(xp::usbtoken::Inspect(machine.root(), machine.token_id())->counter, c.counter_after);
  }
}

TEST_F(IntroTest, TheProbeWaitsAtLeastThreeSecondsWithTheWaitCursorShown) {
  xp::ui::Script script;
  script.Dialog("frmIntro").Enter();
  script.Dialog("frmBurnPwd").Close();
  const uint64_t before = xp::machine::NowMs();
  EXPECT_EQ(Run(script), 0);
  EXPECT_GE(xp::machine::NowMs() - before, 3000u);
  const std::vector<std::string> journal = Journal();
  const auto enter = std::find(journal.begin(), journal.end(), "dialog frmIntro: enter");
  ASSERT_NE(enter, journal.end());
  EXPECT_EQ(*(enter + 1), "dialog frmIntro pointer 11");
  EXPECT_EQ(*(enter + 2), "dialog frmIntro pointer 0");
}

TEST_F(IntroTest, WithoutATokenTheStartFormStaysAndAskesTheTokenOnceItIsInserted) {
  ASSERT_TRUE(xp::usbtoken::Unplug(machine_.root(), machine_.token_id()));
  xp::ui::Script script;
  script.Dialog("frmIntro").Click("Command1");
  script.ExpectBox(kTitle, kNotDetected, MB_OK).Answer(IDOK);
  script.PlugToken();
  script.Dialog("frmIntro").Click("Command1");
  script.Dialog("frmBurnPwd").Close();
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(Route(), (std::vector<std::string>{
                         "dialog frmIntro open", "dialog frmIntro: click Command1",
                         "box \"Selvanor\" \"" + std::string(kNotDetected) + "\" MB_OK -> OK",
                         "token plug " + machine_.token_id(), "dialog frmIntro: click Command1",
                         "dialog frmIntro unload", "dialog frmBurnPwd open", "dialog frmBurnPwd: close",
                         "dialog frmBurnPwd unload"}));
}

// The first probe's answer holds for the run: Back and Continue again do not ask the token, even after another
// program gave it a password.
TEST_F(IntroTest, BackAndContinueAgainUseTheKeptProbe) {
  xp::ui::Script script;
  script.Dialog("frmIntro").Click("Command1");
  script.Dialog("frmBurnPwd").Click("Command4");
  script.Dialog("frmIntro", kCaption).Click("Command1");
  script.Dialog("frmBurnPwd").Close();
  xp::usbtoken::ClearRequestLog(machine_.root(), machine_.token_id());
  EXPECT_EQ(Run(script), 0);
  size_t compares = 0;
  for (const xp::usbtoken::Request& request : xp::usbtoken::RequestLog(machine_.root(), machine_.token_id())) {
    if (request.reg == 0x30 && request.data == std::vector<uint8_t>{0x02}) ++compares;
  }
  EXPECT_EQ(compares, 63u) << "one probe: 63 password bytes compared once";
}

TEST_F(IntroTest, ADeviceFailureOfTheProbeAlsoLeadsToTheChangeForm) {
  // The probe's counter read fails: the token library reports -1, the wrapper 251.
  ASSERT_TRUE(xp::usbtoken::AddRequestFault(machine_.root(), machine_.token_id(),
                                            xp::usbtoken::RequestFault::CounterRead()));
  xp::ui::Script script;
  script.Dialog("frmIntro").Click("Command1");
  script.Dialog("frmChangePwd").Close();
  EXPECT_EQ(Run(script), 0);
}

TEST_F(IntroTest, ATokenLibraryThatCannotBeBoundIsReportedAndTheFormStays) {
  const struct {
    DWORD load_error;
    const char* message;
  } cases[] = {{ERROR_MOD_NOT_FOUND, kNoTokenio}, {ERROR_BAD_EXE_FORMAT, kNoCommunication}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    xp::machine::ClearFaults();
    xp::machine::ArmFault({xp::machine::FaultAction::kFail, "LoadLibraryA", 1, 0, c.load_error, "tokenio"});
    xp::ui::Script script;
    script.Dialog("frmIntro").Click("Command1");
    script.ExpectBox(kTitle, c.message, MB_OK | MB_ICONERROR).Answer(IDOK);
    script.ExpectBox(kTitle, kNotDetected).Answer(IDOK);
    script.Dialog("frmIntro").Close();
    EXPECT_EQ(Run(script), 0);
  }
}

}  // namespace
}  // namespace tokenpass::testing
