// The assignment form: the input checks before any token call, the assignment and its three outcomes, the
// registration prompt in the variant of what started it, and the Chinese rules on a code page 936 machine.
#include <algorithm>

#include "program_fixture.h"
#include "ui_journal.h"

namespace tokenpass::testing {
namespace {

using BurnPwdTest = TokenpassTest;

xp::ui::Script& ToAssignment(xp::ui::Script& script) {
  script.Dialog("frmIntro").Click("Command1");
  return script;
}

TEST_F(BurnPwdTest, DecliningRegistrationTwiceEndsOnTheSuccessFormWithThePasswordOnTheToken) {
  PutRegistrationStub(machine_.root());
  xp::ui::Script script;
  ToAssignment(script).Dialog("frmBurnPwd").Type("txtpwd1", "Secret12").Type("txtpwd", "Secret12").Click("Command3");
  AnswerPrompt(script, PromptOf(/*and_connection=*/true, /*to_not=*/true), IDNO, IDNO);
  script.Dialog("frmBurnPwdSuccess").Click("Command1");
  EXPECT_EQ(Run(script), 0);
  const auto block = xp::usbtoken::Inspect(machine_.root(), machine_.token_id())->password_block;
  std::array<uint8_t, 64> expected;
  expected.fill(0xFF);
  expected[0] = 0x00;
  std::copy_n("Secret12", 8, expected.begin() + 1);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), expected.begin()));
  EXPECT_EQ(TokenCounter(), 0);
  EXPECT_FALSE(RegistrationRan(machine_.root()));
}

// Enter in the confirm box gives the prompt's other texts; a Yes in either box hides the form, starts the
// registration program and waits for it, then shows the success form.
TEST_F(BurnPwdTest, AcceptingRegistrationRunsTheRegistrationProgramWhileTheFormIsHidden) {
  for (const int first : {IDYES, IDNO}) {
    SCOPED_TRACE(first);
    xp::test::ScratchMachine machine;
    PutRegistrationStub(machine.root());
    xp::ui::Script script;
    ToAssignment(script).Dialog("frmBurnPwd").Type("txtpwd1", "Secret12").Type("txtpwd", "Secret12").Enter("txtpwd");
    AnswerPrompt(script, PromptOf(/*and_connection=*/false, /*to_not=*/false), first, IDYES);
    script.Dialog("frmBurnPwdSuccess").Enter();
    script.Install(machine.root());
    EXPECT_EQ(xp::test::RunProgram(xp::test::BuildProgram("tokenpass"), {}).exit_code, 0);
    EXPECT_TRUE(RegistrationRan(machine.root()));
    const std::vector<std::string> journal = xp::test::UiJournal(machine.root());
    const auto hidden = std::find(journal.begin(), journal.end(), "dialog frmBurnPwd hide");
    const auto success = std::find(journal.begin(), journal.end(), "dialog frmBurnPwdSuccess \"" +
                                                                       std::string(kCaption) + "\" open");
    EXPECT_LT(hidden, success);
    EXPECT_EQ(*(success - 1), "dialog frmBurnPwd unload");
  }
}

TEST_F(BurnPwdTest, InputIsCheckedBeforeTheTokenIsAsked) {
  const struct {
    const char* typed;
    const char* confirmed;
    const char* message;
    UINT style;
    std::vector<std::string> after;  // the boxes' lines journaled after the message
  } cases[] = {
      {"abcde", "abcde", kTooShort, MB_OK | MB_ICONINFORMATION,
       {"dialog frmBurnPwd control txtpwd1 edit \"\" password limit=63",
        "dialog frmBurnPwd control txtpwd edit \"\" password limit=63", "dialog frmBurnPwd focus txtpwd1"}},
      {"abcdef", "abcdeg", kNoMatch, MB_OK, {"dialog frmBurnPwd control txtpwd edit \"\" password limit=63"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    xp::ui::Script script;
    ToAssignment(script).Dialog("frmBurnPwd").Type("txtpwd1", c.typed).Type("txtpwd", c.confirmed).Click("Command3");
    script.ExpectBox(kTitle, c.message, c.style).Answer(IDOK);
    script.Dialog("frmBurnPwd").Close();
    const size_t before = Journal().size();
    EXPECT_EQ(Run(script), 0);
    const std::vector<std::string> journal = xp::test::UiJournal(machine_.root(), before);
    const auto box = std::find_if(journal.begin(), journal.end(), [](const std::string& line) {
      return line.starts_with("box ");
    });
    ASSERT_NE(box, journal.end());
    EXPECT_EQ(std::vector<std::string>(box + 1, box + 1 + static_cast<std::ptrdiff_t>(c.after.size())), c.after);
    EXPECT_EQ(TokenPassword(), "") << "nothing was assigned";
  }
}

// The token pulled out before Next: no serial number, so the form says so and stays; plugged in again, Next assigns.
TEST_F(BurnPwdTest, ATokenPulledOutBeforeNextIsAskedForAndTheFormStays) {
  xp::ui::Script script;
  ToAssignment(script).Dialog("frmBurnPwd").Type("txtpwd1", "Secret12").Type("txtpwd", "Secret12");
  script.UnplugToken();
  script.Dialog("frmBurnPwd").Click("Command3");
  script.ExpectBox(kTitle, kInsertNubo, MB_OK).Answer(IDOK);
  script.PlugToken();
  script.Dialog("frmBurnPwd").Click("Command3");
  AnswerPrompt(script, PromptOf(true, true), IDNO, IDNO);
  script.Dialog("frmBurnPwdSuccess").Click("Command1");
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(TokenPassword(), "Secret12");
}

// The token does not answer the check that it has no password (as when another program gave it one meanwhile):
// the failure form, whose Try Again opens the change form.
TEST_F(BurnPwdTest, ATokenThatRefusesTheAssignmentLeadsToTheFailureFormAndItsTryAgainToTheChangeForm) {
  xp::usbtoken::RequestFault second_counter_read = xp::usbtoken::RequestFault::CounterRead();
  second_counter_read.skip = 1;
  ASSERT_TRUE(xp::usbtoken::AddRequestFault(machine_.root(), machine_.token_id(), second_counter_read));
  xp::ui::Script script;
  ToAssignment(script).Dialog("frmBurnPwd").Type("txtpwd1", "Secret12").Type("txtpwd", "Secret12").Click("Command3");
  script.ExpectBox(kTitle, kAlreadyHasPassword, MB_OK | MB_ICONERROR).Answer(IDOK);
  script.Dialog("frmPwdFailed").Click("Command2");
  script.Dialog("frmChangePwd").Close();
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(TokenPassword(), "");
}

class ChineseBurnPwdTest : public TokenpassTest {
 protected:
  ChineseBurnPwdTest() : TokenpassTest(Chinese()) {}
  static xp::machine::MachineOptions Chinese() {
    xp::machine::MachineOptions options;
    options.locale = "0804";
    options.ansi_code_page = 936;
    return options;
  }
};

// A Chinese character, two bytes in code page 936.
std::string ChineseCharacters(size_t count) { return Repeat("\xD6\xD0", count); }

TEST_F(ChineseBurnPwdTest, TheHintAndTheTokensBlockFollowTheDoubleByteCodePage) {
  xp::ui::Script script;
  ToAssignment(script).Dialog("frmBurnPwd").Type("txtpwd1", ChineseCharacters(32)).Type("txtpwd", ChineseCharacters(32));
  script.Dialog("frmBurnPwd").Click("Command3");
  script.ExpectBox(kTitle, kChineseTooLong, MB_OK | MB_ICONINFORMATION).Answer(IDOK);
  script.Dialog("frmBurnPwd").Type("txtpwd1", ChineseCharacters(31)).Type("txtpwd", ChineseCharacters(31));
  script.Dialog("frmBurnPwd").Click("Command3");
  AnswerPrompt(script, PromptOf(true, true), IDNO, IDNO);
  script.Dialog("frmBurnPwdSuccess").Click("Command1");
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(TokenPassword(), ChineseCharacters(31)) << "62 bytes on the token";
  const std::vector<std::string> journal = Journal();
  EXPECT_NE(std::find_if(journal.begin(), journal.end(),
                         [](const std::string& line) {
                           return line.starts_with("dialog frmIntro control Label2 static \"The password can be "
                                                   "between 6 and 31 Chinese characters");
                         }),
            journal.end());
}

}  // namespace
}  // namespace tokenpass::testing
