// The main dialog of the second start: the token password and the Key Answer share three attempts, the third
// failure reboots, and the hand-over to the decryption engine carries the way the user came in and the key.
#include <algorithm>
#include <cctype>

#include "program_fixture.h"
#include "setupcore.h"
#include "xp/machine.h"
#include "xp/ui.h"

namespace tavik::diskunseal::testing {
namespace {

constexpr char kIncorrectAnswer[] = "Incorrect key answer.";
constexpr char kMessageCaption[] = "Quillmarsh Tavik Uninstall";
constexpr char kRebootCaption[] = "Quillmarsh Tavik - Uninstall";
constexpr char kMaximumTries[] = "Maximum tries reached.\r\nSystem will reboot.";
constexpr char kPasswordHandOver[] = "engine: password\n";

class MainDialogTest : public UninstallProgramTest {
 protected:
  MainDialogTest() {
    AsSecondStart();
    StopAtTheEngine();
  }

  static xp::ui::Script& Password(xp::ui::Script& script, const std::string& password) {
    script.Dialog(IDD_DISKUNSEAL_DIALOG).Type(IDC_PASSWORD, password).Click(IDC_CONTINUE);
    return script;
  }
  static xp::ui::Script& KeyAnswer(xp::ui::Script& script, const std::string& answer) {
    script.Dialog(IDD_DISKUNSEAL_DIALOG).Click(IDC_WITH_KEY_ANSWER).Type(IDC_KEY_ANSWER, answer).Click(IDC_CONTINUE);
    return script;
  }
  static xp::ui::Script& WrongPassword(xp::ui::Script& script, int left) {
    Password(script, "wrong-password");
    if (left > 0) {
      return script
          .ExpectBox(kRebootCaption, "Verify password failed. You have " + std::to_string(left) + " more attempt(s).",
                     MB_OK | MB_ICONWARNING)
          .Answer(IDOK);
    }
    return script
        .ExpectBox(kRebootCaption, "Sorry, you have no more attempts.\r\nSystem will reboot.", MB_OK | MB_ICONERROR)
        .Answer(IDOK);
  }
  static xp::ui::Script& Message(xp::ui::Script& script, const char* caption) { return AnswerMessage(script, caption); }
  // The run ended in the restart the last attempt asks for, with nothing handed to the engine.
  static void ExpectRebooted(const ProgramRun& run) {
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    EXPECT_EQ(xp::machine::PendingRestart(), EWX_REBOOT | EWX_FORCE);
    EXPECT_EQ(run.err.find("engine:"), std::string::npos) << run.err;
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kFlagKey, "Decrypted"), "0");
  }
  static void ExpectHandOver(const ProgramRun& run, const std::string& line) {
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    EXPECT_NE(run.err.find(line), std::string::npos) << run.err;
    EXPECT_EQ(xp::machine::PendingRestart(), std::nullopt);
  }
};

TEST_F(MainDialogTest, ThePasswordAndTheKeyAnswerShareThreeAttempts) {
  xp::ui::Script mixed;
  WrongPassword(mixed, 2);
  WrongPassword(mixed, 1);
  KeyAnswer(mixed, std::string(32, 'f'));
  Message(mixed, kMessageCaption);
  Message(mixed, kRebootCaption);
  ExpectRebooted(RunDiskunseal(mixed));
  EXPECT_EQ(MessagesShown(), (std::vector<std::string>{xp::ui::Quote(kIncorrectAnswer), xp::ui::Quote(kMaximumTries)}));

  xp::machine::ClearRestartRequest();
  xp::ui::Script passwords;
  WrongPassword(passwords, 2);
  WrongPassword(passwords, 1);
  WrongPassword(passwords, 0);
  ExpectRebooted(RunDiskunseal(passwords));
}

TEST_F(MainDialogTest, EachRefusedKeyAnswerUsesAnAttempt) {
  std::string wrong = key_answer();
  wrong[0] = wrong[0] == '0' ? '1' : '0';
  const struct {
    const char* name;
    std::string answer;
    bool without_records;  // MRVENTFE gone from here on: the answer must be refused before it is read
  } rows[] = {
      {"31 hex digits", key_answer().substr(0, 31), false},
      {"a character that is no hex digit", key_answer().substr(0, 31) + "g", false},
      {"the answer to another puzzle", wrong, false},
      {"32 zeros", std::string(32, '0'), true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    xp::machine::ClearRestartRequest();
    if (row.without_records) Remove(InstallFile("MRVENTFE"));
    xp::ui::Script script;
    for (int attempt = 0; attempt < 3; ++attempt) {
      KeyAnswer(script, row.answer);
      Message(script, kMessageCaption);
    }
    Message(script, kRebootCaption);
    ExpectRebooted(RunDiskunseal(script));
    EXPECT_TRUE(Shown(kIncorrectAnswer));
  }
}

TEST_F(MainDialogTest, TheKeyAnswerHandsTheFileKeyToTheEngineInEitherLetterCase) {
  std::string upper = key_answer();
  for (char& digit : upper) digit = static_cast<char>(std::toupper(static_cast<unsigned char>(digit)));
  // Without MRVPUZSN the puzzle is not shown, yet the answer still opens MRVENTFE.
  Remove(InstallFile("MRVPUZSN"));
  xp::ui::Script script;
  KeyAnswer(script, upper);
  ExpectHandOver(RunDiskunseal(script), "engine: key answer " + cfk_text() + "\n");
}

TEST_F(MainDialogTest, UnreadableRecordsUseNoAttempt) {
  Remove(InstallFile("MRVENTFE"));
  xp::ui::Script script;
  for (int attempt = 0; attempt < 3; ++attempt) {
    KeyAnswer(script, key_answer());
    Message(script, "Quillmarsh Tavik Recovery");
  }
  script.Dialog(IDD_DISKUNSEAL_DIALOG).Click(IDC_WITH_TOKEN);
  Password(script, kPassword);
  ExpectHandOver(RunDiskunseal(script), kPasswordHandOver);
  EXPECT_TRUE(Shown("Failed to read data from hard drive."));
}

TEST_F(MainDialogTest, ACorrectPasswordWithoutTheS1RecordLeavesTheDialogAndTheCounter) {
  ASSERT_EQ(clean_nubo_s1(), 1);
  xp::ui::Script script;
  Password(script, kPassword);
  script
      .ExpectBox("Quillmarsh Tavik - Login", "Check Tavik failure.\r\nYour Tavik data may be corrupted.",
                 MB_OK | MB_ICONERROR)
      .Answer(IDOK);
  WrongPassword(script, 2);
  script.Dialog(IDD_DISKUNSEAL_DIALOG).Escape();
  script.Dialog(IDD_BACKDROP).Escape();
  const ProgramRun run = RunDiskunseal(script);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(run.err.find("engine:"), std::string::npos);

  // Once both rounds are done the record is no longer needed: a run that erased it and crashed before the token's
  // checkpoint resumes with the password alone.
  ASSERT_TRUE(write_hd_install_state(1300));
  xp::ui::Script resumed;
  Password(resumed, kPassword);
  ExpectHandOver(RunDiskunseal(resumed), kPasswordHandOver);
}

TEST_F(MainDialogTest, ACorrectPasswordHandsOverInPasswordMode) {
  xp::ui::Script script;
  WrongPassword(script, 2);
  Password(script, kPassword);
  ExpectHandOver(RunDiskunseal(script), kPasswordHandOver);
}

TEST_F(MainDialogTest, AnotherTokenGetsThreePromptsThenTheReboot) {
  SetText(HKEY_LOCAL_MACHINE, kFlagKey, "ESN", "12345679");
  xp::ui::Script script;
  Password(script, kPassword);
  for (int prompt = 0; prompt < 3; ++prompt) Message(script, "Quillmarsh Tavik - UnInstall");
  Message(script, kRebootCaption);
  ExpectRebooted(RunDiskunseal(script));
  const std::string prompt = xp::ui::Quote("Wrong Tavik. Please insert Tavik with this ESN#: 12345679, then click OK.");
  EXPECT_EQ(MessagesShown(), (std::vector<std::string>{prompt, prompt, prompt, xp::ui::Quote(kMaximumTries)}));
}

TEST_F(MainDialogTest, APasswordPastTheLimitIsRefusedWithAMessage) {
  xp::ui::Script script;
  script.Dialog(IDD_DISKUNSEAL_DIALOG).Type(IDC_PASSWORD, std::string(64, 'x'));
  Message(script, kMessageCaption);
  script.Dialog(IDD_DISKUNSEAL_DIALOG).Escape();
  script.Dialog(IDD_BACKDROP).Escape();
  const ProgramRun run = RunDiskunseal(script);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(Shown("Maximum length of Tavik password is 63 characters."));
}

// The dialog opens at half its template's height (500 x 540), centred on the 1024 x 768 screen; the progress view
// takes two thirds of that height, centred again from top to bottom, with its left and width kept.
TEST_F(MainDialogTest, TheDialogOpensHalvedAndCentredAndTheProgressViewTakesTwoThirds) {
  xp::ui::Script script;
  Password(script, kPassword);
  ExpectHandOver(RunDiskunseal(script), kPasswordHandOver);
  std::vector<std::string> moves;
  for (const std::string& line : UiLines()) {
    if (line.starts_with("dialog 102 at ")) moves.push_back(line.substr(14));
  }
  EXPECT_EQ(moves, (std::vector<std::string>{"0,0 size 500x270", "262,249 size 500x270", "262,294 size 500x180"}));
}

// Command 16 of the system menu shows About box 100 with "Quillmarsh Tavik" as its caption and text, and the user
// is back in the main dialog, its attempts untouched; the dialog shows icon 128. Leaving the dialog uncovers the
// backdrop: the top left 200 x 200 pixels of bitmap 130 stretched over the screen.
TEST_F(MainDialogTest, TheAboutItemShowsTheBoxAndReturnsToTheDialogOverThePaintedBackdrop) {
  xp::ui::Script script;
  script.Dialog(IDD_DISKUNSEAL_DIALOG).SystemMenu(16);
  script.Dialog(IDD_ABOUTBOX, "Quillmarsh Tavik").Click(IDOK);
  WrongPassword(script, 2);
  script.Dialog(IDD_DISKUNSEAL_DIALOG).Escape();
  script.Dialog(IDD_BACKDROP).Escape();
  const ProgramRun run = RunDiskunseal(script);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  const std::vector<std::string> lines = UiLines();
  const auto has = [&lines](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  for (const char* line : {"dialog 102 icon big 128", "dialog 102 icon small 128",
                           "dialog 100 control 1035 static \"Quillmarsh Tavik\"", "dialog 100 end 1",
                           "dialog 129 at 0,0 size 1024x768",
                           "dialog 129 paint bitmap 130 0,0 200x200 -> 0,0 1024x768"}) {
    EXPECT_TRUE(has(line)) << line;
  }
}

}  // namespace
}  // namespace tavik::diskunseal::testing
