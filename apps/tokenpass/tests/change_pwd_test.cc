// The change form: its input checks (one refusal per Next, every box emptied), the current password on the token,
// the reset and the new assignment with their failures, Cancel, and the length rules in double-byte code pages.
#include <algorithm>

#include "program_fixture.h"
#include "tokenio.h"
#include "ui_journal.h"

namespace tokenpass::testing {
namespace {

constexpr char kNotInserted[] =
    "Tavik is not currently inserted.  Please insert your Tavik into the USB port on your computer.";
constexpr char kWrongCurrent[] =
    "The original password you typed is not correct.  Please type the correct original password.";

class ChangePwdTest : public TokenpassTest {
 protected:
  explicit ChangePwdTest(const xp::machine::MachineOptions& options = xp::machine::MachineOptions{})
      : TokenpassTest(options) {
    SetTokenPassword("Secret12");
  }

  static xp::ui::Script::DialogStep Change(xp::ui::Script& script, const std::string& current,
                                           const std::string& next, const std::string& confirmed) {
    script.Dialog("frmIntro").Click("Command1");
    return script.Dialog("frmChangePwd")
        .Type("txtOriginal", current)
        .Type("txtpwd1", next)
        .Type("txtpwd2", confirmed);
  }
  static void EndOnSuccess(xp::ui::Script& script) {
    AnswerPrompt(script, PromptOf(/*and_connection=*/false, /*to_not=*/true), IDNO, IDNO);
    script.Dialog("frmBurnPwdSuccess").Click("Command1");
  }
  // The three boxes emptied and the focus in the first, right after the box that refused the input.
  void ExpectClearedAfter(const std::string& box_text) const {
    const std::vector<std::string> journal = Journal();
    const auto box = std::find_if(journal.rbegin(), journal.rend(), [&](const std::string& line) {
      return line.starts_with("box ") && line.find(box_text) != std::string::npos;
    });
    ASSERT_NE(box, journal.rend());
    const auto after = box.base();
    EXPECT_EQ(std::vector<std::string>(after, after + 4),
              (std::vector<std::string>{"dialog frmChangePwd control txtOriginal edit \"\" password limit=63",
                                        "dialog frmChangePwd control txtpwd1 edit \"\" password limit=63",
                                        "dialog frmChangePwd control txtpwd2 edit \"\" password limit=63",
                                        "dialog frmChangePwd focus txtOriginal"}));
  }
};

TEST_F(ChangePwdTest, TheCurrentPasswordOpensTheChangeAndTheTokenTakesTheNewOne) {
  xp::ui::Script script;
  Change(script, "Secret12", "NewPass99", "NewPass99").Enter("txtpwd2");
  EndOnSuccess(script);
  xp::usbtoken::ClearRequestLog(machine_.root(), machine_.token_id());
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(TokenPassword(), "NewPass99");
  EXPECT_EQ(TokenCounter(), 0) << "the correct checks after the probe reset the count";
  EXPECT_NE(CheckPwd("Secret12"), 0);
}

TEST_F(ChangePwdTest, RefusedInputEmptiesEveryBoxWithOneMessageAndAsksTheTokenNothing) {
  const struct {
    const char* next;
    const char* confirmed;
    const char* message;
    UINT style;
  } cases[] = {
      {"NewPass99", "NewPass98", "Your confirm password does not match your new password.", MB_OK},
      {"abcde", "abcde",
       "Your new password cannot be less than 6 characters.  Type a password with at least 6 characters.",
       MB_OK | MB_ICONINFORMATION},
      {"abc", "abd", "Your confirm password does not match your new password.", MB_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    xp::ui::Script script;
    Change(script, "Secret12", c.next, c.confirmed).Click("Command2");
    script.ExpectBox(kTitle, c.message, c.style).Answer(IDOK);
    script.Dialog("frmChangePwd").Close();
    EXPECT_EQ(Run(script), 0);
    ExpectClearedAfter(c.message);
    EXPECT_EQ(TokenPassword(), "Secret12");
  }
}

TEST_F(ChangePwdTest, AWrongCurrentPasswordCostsOneAttemptAndEmptiesTheBoxes) {
  xp::ui::Script script;
  Change(script, "Wrong123", "NewPass99", "NewPass99").Click("Command2");
  script.ExpectBox(kTitle, kWrongCurrent, MB_OK).Answer(IDOK);
  script.Dialog("frmChangePwd").Close();
  EXPECT_EQ(Run(script), 0);
  ExpectClearedAfter(kWrongCurrent);
  EXPECT_EQ(TokenCounter(), 2) << "the probe and the wrong password";
  EXPECT_EQ(TokenPassword(), "Secret12");
}

TEST_F(ChangePwdTest, WithTheTokenPulledOutTheTypedTextsStay) {
  xp::ui::Script script;
  Change(script, "Secret12", "NewPass99", "NewPass99");
  script.UnplugToken();
  script.Dialog("frmChangePwd").Click("Command2");
  script.ExpectBox(kTitle, kNotInserted, MB_OK).Answer(IDOK);
  script.PlugToken();
  script.Dialog("frmChangePwd").Click("Command2");
  EndOnSuccess(script);
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(TokenPassword(), "NewPass99") << "the texts were kept for the second Next";
}

// The serial number cannot be read after the current password was checked: it is asked for before the reset, so
// the token keeps its password (reset first, the token would be left with none, and the form would stay silent).
TEST_F(ChangePwdTest, ASerialNumberThatCannotBeReadBeforeTheResetKeepsThePassword) {
  xp::ui::Script script;
  Change(script, "Secret12", "NewPass99", "NewPass99").Click("Command2");
  script.ExpectBox(kTitle, kInsertNubo, MB_OK).Answer(IDOK);
  script.Dialog("frmChangePwd").Close();
  const uint32_t identity_read = RequestNumber(script, [](const xp::usbtoken::Request& request) {
    return request.code == xp::usbtoken::kWriteRegister && request.reg == 0x30 && request.data.size() == 1 &&
           (request.data[0] & 0x0F) == 0x0A;
  });
  ASSERT_NE(identity_read, 0u);
  ASSERT_TRUE(xp::usbtoken::AddRequestFault(machine_.root(), machine_.token_id(),
                                            xp::usbtoken::RequestFault::Nth(identity_read)));
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(TokenPassword(), "Secret12");
}

// Pulled out right after the reset: the new password cannot be set, the token holds the empty password, and the
// failure form says so (Try Again then takes the empty password as the current one).
TEST_F(ChangePwdTest, ATokenPulledOutAfterTheResetEndsOnTheFailureForm) {
  xp::ui::Script script;
  Change(script, "Secret12", "NewPass99", "NewPass99").Click("Command2");
  script.ExpectBox(kTitle, kInsertNubo, MB_OK).Answer(IDOK);
  script.Dialog("frmPwdFailed").Click("Command1");
  const auto counter_write = [](const xp::usbtoken::Request& request) {
    return request.code == xp::usbtoken::kWriteCounter;
  };
  const uint32_t reset_checked = RequestNumber(script, counter_write, 3);  // the probe, the current password, the reset
  ASSERT_NE(reset_checked, 0u);
  // Pulled once the token has confirmed the reset's counter (the status read of the ready wait after it): a token
  // pulled before that confirmation fails the reset itself.
  ASSERT_TRUE(xp::usbtoken::UnplugAfter(machine_.root(), machine_.token_id(), reset_checked + 1));
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(TokenPassword(), "");
}

// Pulled before it confirms the reset's counter: the reset itself fails, so no new password is tried and the
// failure form follows at once; the token holds the empty password the reset programmed.
TEST_F(ChangePwdTest, ATokenPulledOutBeforeItConfirmsTheResetEndsOnTheFailureForm) {
  xp::ui::Script script;
  Change(script, "Secret12", "NewPass99", "NewPass99").Click("Command2");
  script.Dialog("frmPwdFailed").Click("Command1");
  const auto counter_write = [](const xp::usbtoken::Request& request) {
    return request.code == xp::usbtoken::kWriteCounter;
  };
  const uint32_t reset_checked = RequestNumber(script, counter_write, 3);
  ASSERT_NE(reset_checked, 0u);
  ASSERT_TRUE(xp::usbtoken::UnplugAfter(machine_.root(), machine_.token_id(), reset_checked));
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(TokenPassword(), "");
}

TEST_F(ChangePwdTest, AResetTheTokenRefusesLeavesTheOldPasswordAndLeadsToTheFailureForm) {
  xp::ui::Script script;
  Change(script, "Secret12", "NewPass99", "NewPass99").Click("Command2");
  script.Dialog("frmPwdFailed").Click("Command1");
  const uint32_t clear = RequestNumber(script, CommandWrite(0x0E));
  ASSERT_NE(clear, 0u);
  ASSERT_TRUE(xp::usbtoken::AddRequestFault(machine_.root(), machine_.token_id(), xp::usbtoken::RequestFault::Nth(clear)));
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(TokenPassword(), "Secret12");
}

// The new password cannot be set after the reset: the token keeps the empty password, and Try Again takes it as
// the current one.
TEST_F(ChangePwdTest, AFailedAssignmentAfterTheResetLeavesTheEmptyPasswordForTryAgain) {
  xp::usbtoken::RequestFault burn_check = xp::usbtoken::RequestFault::CounterRead();
  burn_check.skip = 3;  // the probe, the current password, the reset's own check, then the assignment's
  ASSERT_TRUE(xp::usbtoken::AddRequestFault(machine_.root(), machine_.token_id(), burn_check));
  xp::ui::Script script;
  Change(script, "Secret12", "NewPass99", "NewPass99").Click("Command2");
  script.ExpectBox(kTitle, kAlreadyHasPassword, MB_OK | MB_ICONERROR).Answer(IDOK);
  script.Dialog("frmPwdFailed").Click("Command2");
  script.Dialog("frmChangePwd").Type("txtpwd1", "NewPass99").Type("txtpwd2", "NewPass99").Click("Command2");
  EndOnSuccess(script);
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(TokenPassword(), "NewPass99");
}

TEST_F(ChangePwdTest, CancelAsksFirstAndNoKeepsTheForm) {
  const std::string question = "Are you sure you want to quit?\r\n\r\nIf you cancel now, no changes will be made.";
  xp::ui::Script script;
  Change(script, "Secret12", "NewPass99", "NewPass99").Click("Command1");
  script.ExpectBox("Canceling Restration!", question, MB_YESNO | MB_ICONINFORMATION).Answer(IDNO);
  script.Dialog("frmChangePwd").Click("Command1");
  script.ExpectBox("Canceling Restration!", question, MB_YESNO | MB_ICONINFORMATION).Answer(IDYES);
  EXPECT_EQ(Run(script), 0);
  const std::vector<std::string> journal = Journal();
  EXPECT_EQ(std::count_if(journal.begin(), journal.end(),
                          [](const std::string& line) { return line.starts_with("dialog frmChangePwd control"); }),
            14) << "the form's 11 controls when shown, the three texts typed, and no change after No";
  EXPECT_EQ(TokenPassword(), "Secret12");
}

TEST_F(ChangePwdTest, SixtyThreeCharactersAreANewPasswordOutsideTheChineseLocale) {
  const std::string longest(63, 'p');
  xp::ui::Script script;
  Change(script, "Secret12", longest, longest).Click("Command2");
  EndOnSuccess(script);
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(TokenPassword(), longest);
}

// The length limit in the ANSI bytes of the machine's code page: in the Chinese locale, 63 bytes or more are too
// many; in another double-byte locale the token's 63 bytes are the limit too.
TEST(ChangePwdLocales, TheNewPasswordMustFitTheTokensBlockInTheCodePage) {
  const std::string chinese = "\xD6\xD0";    // one character in code page 936
  const std::string japanese = "\x82\xA0";   // one in code page 932
  const struct {
    const char* locale;
    uint32_t code_page;
    std::string refused;
    const char* message;
    std::string accepted;
  } cases[] = {
      {"0804", 936, Repeat(chinese, 32), kChineseTooLong, Repeat(chinese, 31)},
      {"0804", 936, std::string(63, 'p'), kChineseTooLong, std::string(62, 'p')},
      {"0411", 932, Repeat(japanese, 32), kTooLong, std::string(63, 'p')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " " + std::to_string(c.refused.size()) + " bytes refused");
    xp::machine::MachineOptions options;
    options.locale = c.locale;
    options.ansi_code_page = c.code_page;
    xp::test::ScratchMachine machine(xp::test::ScratchOptions{.machine = options});
    ASSERT_EQ(BurnPwd("Secret12"), 1);
    xp::ui::Script script;
    script.Dialog("frmIntro").Click("Command1");
    script.Dialog("frmChangePwd").Type("txtOriginal", "Secret12").Type("txtpwd1", c.refused).Type("txtpwd2", c.refused);
    script.Dialog("frmChangePwd").Click("Command2");
    script.ExpectBox(kTitle, c.message, MB_OK | MB_ICONINFORMATION).Answer(IDOK);
    script.Dialog("frmChangePwd").Type("txtOriginal", "Secret12").Type("txtpwd1", c.accepted).Type("txtpwd2", c.accepted);
    script.Dialog("frmChangePwd").Click("Command2");
    AnswerPrompt(script, PromptOf(false, true), IDNO, IDNO);
    script.Dialog("frmBurnPwdSuccess").Click("Command1");
    script.Install(machine.root());
    EXPECT_EQ(xp::test::RunProgram(xp::test::BuildProgram("tokenpass"), {}).exit_code, 0);
    const auto block = xp::usbtoken::Inspect(machine.root(), machine.token_id())->password_block;
    EXPECT_EQ(std::string(block.begin() + 1, block.begin() + 1 + static_cast<std::ptrdiff_t>(c.accepted.size())),
              c.accepted);
  }
}

}  // namespace
}  // namespace tokenpass::testing
