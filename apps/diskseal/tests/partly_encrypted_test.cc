// An install killed part-way through its first pass, its records then damaged, started again as RunOnce starts it:
// without a readable install state or encryption history the run changes nothing and says why; with a state that
// went back, the token keeps the key its files are encrypted under. A file's bytes cannot tell whether it is
// encrypted, so either mistake would encrypt files twice or lose them.
#include <algorithm>
#include <functional>
#include <map>

#include "program_fixture.h"
#include "setupcore.h"

namespace tavik::diskseal::testing {
namespace {

constexpr int kCommittedBeforeTheCrash = 3;

class PartlyEncryptedTest : public ProgramTest {
 protected:
  void SetUp() override {
    for (int i = 0; i < 6; ++i) {
      plain_["D:\\data\\file" + std::to_string(i) + ".doc"] = RandomBytes(1000 + 37 * i, 40 + i);
    }
    // Killed right after the third file's plain copy was deleted: three files encrypted and in the history.
    CrashInstallInFirstPass(plain_, kCommittedBeforeTheCrash);
    if (HasFatalFailure()) return;
    key_ = InstalledKey();
    ASSERT_FALSE(key_.empty());
  }

  // The next administrator logon: Windows deletes "RunSetup" before it runs it; the user continues the install.
  static xp::ui::Script& Resume(xp::ui::Script& script) {
    StartFromRunOnce();
    script.Dialog(IDD_RESUME).Click(IDC_CHOOSE_CONTINUE).Click(IDOK);
    script.Dialog(IDD_DISKSEAL_DIALOG).Type(IDC_PASSWORD, kPassword).Click(IDOK);
    script.ExpectBox("Quillmarsh Tavik", xp::ui::Pattern::Wildcard("Used Tavik detected.*")).Answer(IDNO);
    return script;
  }

  std::map<std::string, std::string> Disk() const {
    std::map<std::string, std::string> disk;
    for (const auto& [path, plain] : plain_) disk[path] = Get(path).value_or("<missing>");
    return disk;
  }

  std::map<std::string, std::string> plain_;
  std::string key_;
};

TEST_F(PartlyEncryptedTest, WithoutAReadableStateOrHistoryNothingIsChanged) {
  const std::string state_message =
      "Read install state error.\r\nThe install state cannot be read, so the installation cannot tell which of its "
      "steps are done.\r\nNothing has been changed. Please contact software vendor for help.";
  const std::string history_message =
      "Read encryption history error.\r\nThe encryption history cannot be read, so the installation cannot tell "
      "which files are encrypted.\r\nNothing has been changed. Please contact software vendor for help.";
  const struct {
    const char* damage;
    std::function<void()> make;
    const std::string& message;
  } cases[] = {
      {"history and its backup deleted",
       [] {
         DeleteFileA(InInstallFolder("MRVENCHS").c_str());
         DeleteFileA(InInstallFolder("_MRVENCHIST.BAK").c_str());
       },
       history_message},
      {"state holds no number", [] { Put(InInstallFolder("MRVSTATE"), "abc"); }, state_message},
      {"state deleted", [] { DeleteFileA(InInstallFolder("MRVSTATE").c_str()); }, state_message},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.damage);
    const std::map<std::string, std::string> before = Disk();
    const std::optional<std::string> state_before = Get(InInstallFolder("MRVSTATE"));
    c.make();
    const std::optional<std::string> state_damaged = Get(InInstallFolder("MRVSTATE"));
    const std::optional<std::string> history_damaged = Get(InInstallFolder("MRVENCHS"));

    xp::ui::Script script;
    // The stop is shown as the engine's stops are; no question, warning or process ending comes before it.
    AnswerMessage(Resume(script), "Quillmarsh Tavik");
    const ProgramRun run = RunDiskseal(script);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    const std::vector<std::string> shown = MessagesShown();
    EXPECT_EQ(shown.empty() ? "" : shown.back(), xp::ui::Quote(c.message));

    EXPECT_EQ(Disk(), before);
    EXPECT_EQ(Get(InInstallFolder("MRVSTATE")), state_damaged);
    EXPECT_EQ(Get(InInstallFolder("MRVENCHS")), history_damaged);
    EXPECT_EQ(InstalledKey(), key_);  // the token's S1 and the key records are as they were
    EXPECT_EQ(Flag(), "2");
    EXPECT_EQ(RunSetup(), "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe");

    // Once the record is readable again, the install resumes from it.
    if (state_before) Put(InInstallFolder("MRVSTATE"), *state_before);
  }
}

// A state that went back below the key phases (an older run left 0) on a token whose S1 the key records use: the
// install keeps that S1, so the files encrypted before the crash stay readable and each file is encrypted once.
TEST_F(PartlyEncryptedTest, AStateThatWentBackKeepsTheTokensKey) {
  Put(InInstallFolder("MRVSTATE"), "0");
  xp::ui::Script script;
  Resume(script)
      .ExpectBox("Quillmarsh Tavik Installation", xp::ui::Pattern::Wildcard("It is recommended that you empty*"))
      .Answer(IDNO);
  AnswerMessage(script, "Quillmarsh Tavik")
      .ExpectBox("Quillmarsh Tavik Installation", xp::ui::Pattern::Wildcard("Important: During encryption*"))
      .Answer(IDOK);
  const ProgramRun run = RunDiskseal(script);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(read_hd_install_state(), 1000);
  for (const auto& [path, plain] : plain_) {
    EXPECT_TRUE(Decrypted(path) == plain) << path;
  }
  std::vector<std::string> history = Lines(InInstallFolder("MRVENCHS"));
  std::sort(history.begin(), history.end());
  std::vector<std::string> files;
  for (const auto& [path, plain] : plain_) files.push_back(path);
  EXPECT_EQ(history, files);
}

}  // namespace
}  // namespace tavik::diskseal::testing
