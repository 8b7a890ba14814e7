// An install killed in its first pass, then given up from the resume dialog as RunOnce starts diskseal again: every
// file the install's history names comes back plain, byte for byte, and nothing else is touched; a file that cannot
// be decrypted stays encrypted, listed, with the key in a read-only report; the machine is left without the
// product's registry, logon or token key.
#include <algorithm>
#include <functional>
#include <map>

#include "giveup/giveup.h"
#include "program_fixture.h"
#include "setupcore.h"

namespace tavik::diskseal::testing {
namespace {

using xp::machine::FaultAction;
using xp::ui::Pattern;

constexpr int kCommitted = 3;
constexpr char kWinlogon[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

class GiveUpTest : public ProgramTest {
 protected:
  void SetUp() override {
    for (int i = 0; i < 6; ++i) plain_[Data(i)] = RandomBytes(900 + 53 * i, 70 + i);
    CrashInstallInFirstPass(plain_, kCommitted);
    if (HasFatalFailure()) return;
    listed_ = Lines(InInstallFolder("MRVENCHS"));
    for (const std::string& path : listed_) ASSERT_NE(Get(path), plain_[path]) << path << " is not encrypted";
    key_text_ = KeyText();
  }

  static std::string Data(int i) { return "D:\\data\\file" + std::to_string(i) + ".doc"; }

  // The token's answer that the report names as the key.
  static std::string KeyText() {
    unsigned char xcfk[33] = {};
    char text[33] = {};
    if (conversion::KeyFromToken(xcfk, text) != conversion::TokenKey::kMade) return "";
    return text;
  }

  // The user's side of a give-up, up to the decryption.
  static xp::ui::Script& ChooseDecrypt(xp::ui::Script& script) {
    StartFromRunOnce();
    script.Dialog(IDD_RESUME).Click(IDC_CHOOSE_DECRYPT).Click(IDOK);
    script.Dialog(IDD_DISKSEAL_DIALOG, "Quillmarsh Tavik Uninstallation").Type(IDC_PASSWORD, kPassword).Click(IDOK);
    script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Quillmarsh Tavik will temporarily shut down*"))
        .Answer(IDOK);
    return script;
  }
  // The end of a give-up with nothing left encrypted: the uninstall command is started (the test machine has none).
  static xp::ui::Script& EndWithoutReport(xp::ui::Script& script) {
    script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Your hard drive(s) has been decrypted.\r\nPlease click*"))
        .Answer(IDOK);
    script.ExpectBox(Pattern::Any(), Pattern::Wildcard("Launch process failed.*")).Answer(IDOK);
    return script;
  }

  std::map<std::string, std::string> Disk() const {
    std::map<std::string, std::string> disk;
    for (const auto& [path, plain] : plain_) disk[path] = Get(path).value_or("<missing>");
    return disk;
  }
  // The lines of MRVLOG from the give-up's section on, stamps cut.
  static std::vector<std::string> GiveUpLog() {
    std::vector<std::string> lines;
    bool in_section = false;
    for (const std::string& line : Lines(InInstallFolder("MRVLOG"))) {
      if (line.find("Decryption Log for Incomplete Encryption") != std::string::npos) in_section = true;
      if (!in_section) continue;
      // "%i-%i-%i %i:%i:%i ": the text begins after the second blank.
      const size_t first = line.find(' ');
      const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
      lines.push_back(second == std::string::npos ? line : line.substr(second + 1));
    }
    return lines;
  }
  static bool TokenHoldsS1() {
    unsigned char s1[17] = {};
    return read_nubo_s1(s1, 16) == 0;
  }

  std::map<std::string, std::string> plain_;
  std::vector<std::string> listed_;
  std::string key_text_;
};

TEST_F(GiveUpTest, EveryListedFileComesBackPlainAndTheMachineIsCleared) {
  // An earlier give-up was killed after it committed the first file: that file is plain already, and decrypting it
  // again would garble it.
  const std::string done = listed_.front();
  Put(done, plain_[done]);
  Put(InInstallFolder("MRVDECHS"), done + "\r\n");
  const std::map<std::string, std::string> expected = plain_;

  xp::ui::Script script;
  EndWithoutReport(ChooseDecrypt(script));
  const ProgramRun run = RunDiskseal(script);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);

  // The listed files plain again; the three the walk had not reached yet untouched.
  EXPECT_EQ(Disk(), expected);
  for (const auto& [path, plain] : plain_) {
    EXPECT_FALSE(Exists(path + ".H0K")) << path;
    EXPECT_FALSE(Exists(path + ".H1K")) << path;
  }
  EXPECT_EQ(Lines(InInstallFolder("MRVDECHS")), listed_);
  EXPECT_EQ(GiveUpLog(), std::vector<std::string>{"$$$$$ Decryption Log for Incomplete Encryption $$$$$"});
  EXPECT_FALSE(Exists(InInstallFolder("MorvelSpecials.txt")));
  EXPECT_FALSE(Exists(InInstallFolder("MorvelReport.txt")));

  EXPECT_EQ(Flag(), "1");
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kWinlogon, "GinaDLL"), "msgina.dll");
  HKEY product = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik", 0, KEY_READ, &product), ERROR_SUCCESS);
  EXPECT_FALSE(TokenHoldsS1());
  // The install state and key records stay for the uninstall command, which removes them after the flag is "1".
  EXPECT_TRUE(Exists(InInstallFolder("MRVSTATE")));
  EXPECT_TRUE(Exists(InInstallFolder("MRVENTFE")));
}

// A give-up killed while it deletes a file's encrypted copy, after the commit: the flag "5" brings diskseal straight
// back into decrypt mode, and the run ends as an undisturbed one, with every file decrypted exactly once. Its
// password dialog, when it gives up after three wrong passwords, leads to no install.
TEST_F(GiveUpTest, AGiveUpKilledPartWayResumesInDecryptMode) {
  xp::machine::ArmFault({FaultAction::kCrash, "DeleteFileA", 2, 1, 0, ".H0K"});
  xp::ui::Script script;
  ASSERT_EQ(RunDiskseal(ChooseDecrypt(script)).exit_code, 128 + 9);
  xp::machine::ClearFaults();
  ASSERT_EQ(Flag(), "5");

  xp::ui::Script wrong;
  for (int i = 0; i < 3; ++i) {
    wrong.Dialog(IDD_DISKSEAL_DIALOG, "Quillmarsh Tavik Uninstallation").Type(IDC_PASSWORD, "wrong-pw").Click(IDOK);
    AnswerMessage(wrong, "Quillmarsh Tavik");
  }
  wrong.Dialog(IDD_MESSAGE, "Maximum tries reached").Click(IDOK);
  ProgramRun run = RunDiskseal(wrong);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(Flag(), "5");
  EXPECT_EQ(RunSetup(), "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe");

  xp::ui::Script resumed;
  resumed.Dialog(IDD_DISKSEAL_DIALOG, "Quillmarsh Tavik Uninstallation").Type(IDC_PASSWORD, kPassword).Click(IDOK);
  resumed.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Quillmarsh Tavik will temporarily shut down*"))
      .Answer(IDOK);
  run = RunDiskseal(EndWithoutReport(resumed));
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(Disk(), plain_);
  EXPECT_EQ(Lines(InInstallFolder("MRVDECHS")), listed_);
  EXPECT_EQ(Flag(), "1");
}

// A give-up stopped at its last step, the flag "1" (here: the write fails; a crash there is the same): the token
// still holds S1, so the next start, back in decrypt mode, finishes the run.
TEST_F(GiveUpTest, AGiveUpStoppedAtItsLastFlagCanBeFinished) {
  xp::machine::ArmFault({FaultAction::kFail, "RegSetValueExA", 2, 1, ERROR_ACCESS_DENIED, "Decrypted"});
  xp::ui::Script script;
  ChooseDecrypt(script).Dialog(IDD_MESSAGE, "CDisksealDlg::decUnFinishedHD").Click(IDOK);
  ProgramRun run = RunDiskseal(script);
  xp::machine::ClearFaults();
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  ASSERT_EQ(Flag(), "5");
  EXPECT_TRUE(TokenHoldsS1());

  xp::ui::Script resumed;
  resumed.Dialog(IDD_DISKSEAL_DIALOG, "Quillmarsh Tavik Uninstallation").Type(IDC_PASSWORD, kPassword).Click(IDOK);
  resumed.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Quillmarsh Tavik will temporarily shut down*"))
      .Answer(IDOK);
  run = RunDiskseal(EndWithoutReport(resumed));
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(Disk(), plain_);
  EXPECT_EQ(Flag(), "1");
  EXPECT_FALSE(TokenHoldsS1());
}

// What the run does with each file's result, as MRVLOG, MorvelSpecials.txt and the run's end show it.
TEST_F(GiveUpTest, ResultsAreLoggedListedCountedOrStopTheRun) {
  std::vector<std::string> logged;
  std::vector<std::string> listed;
  conversion::ResultLog results([&](const std::string& line) { logged.push_back(line); },
                                [&](const std::string& path) { listed.push_back(path); });
  const std::string path = "D:\\data\\a b.doc";
  const struct {
    int result;
    const char* line;  // nullptr: none
    bool listed_and_counted;
    const char* stop;  // nullptr: the run goes on
  } cases[] = {
      {4, "Error[D4]: cannot rename \"D:\\data\\a b.doc\" to \"~.H0K\"", true, nullptr},
      {5, "Error[D5]: cannot open \"D:\\data\\a b.doc.H0K\" with read permission", true, nullptr},
      {6, "Error[D6]: cannot open \"D:\\data\\a b.doc\" with write permission", true, nullptr},
      {9, "Error[D9]: GetFileAttributes() error on \"D:\\data\\a b.doc.H0K\"", true, nullptr},
      {10, "Error[D10]: SetFileAttributes() error on \"D:\\data\\a b.doc\"", true, nullptr},
      {14, "Error[D14]: set compressed attribute error on \"D:\\data\\a b.doc\"", true, nullptr},
      {15, "Error[D15]: set sparse attribute error on \"D:\\data\\a b.doc\"", true, nullptr},
      {7, "Error[D7]: wrong CFK for \"D:\\data\\a b.doc\".", false,
       "Error[D7]: wrong CFK for \"D:\\data\\a b.doc\"."},
      {8, "Error[D8]: _write() error on \"D:\\data\\a b.doc\"", false, "Error[D8]: _write() error on \"D:\\data\\a b.doc\""},
      {12, nullptr, false, "read data error."},
      {13, nullptr, false, "decrypt verify error."},
      {3, nullptr, false, "Memory allocation error."},
      {1, nullptr, false, "Decryption block size error/memory allocation error"},
      {17, "Error[D16]: unknown error, returns 17 on \"D:\\data\\a b.doc\"", false,
       "Error[D16]: unknown error, returns 17 on \"D:\\data\\a b.doc\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    logged.clear();
    listed.clear();
    results.Reset();
    std::string stopped;
    try {
      results.Handle(GiveUpResults(), c.result, path);
    } catch (const conversion::RunStop& stop) {
      stopped = stop.text;
    }
    EXPECT_EQ(logged, c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
    EXPECT_EQ(listed, c.listed_and_counted ? std::vector<std::string>{path} : std::vector<std::string>{});
    EXPECT_EQ(results.error_count(), c.listed_and_counted ? 1u : 0u);
    EXPECT_EQ(stopped, c.stop ? c.stop : "");
  }
}

// Every listed file fails to be renamed: the 301st counted failure stops the run before the system is touched, and
// the flag "5" brings the decryption back at the next start.
TEST_F(GiveUpTest, TheThreeHundredAndFirstFailureStopsTheRun) {
  std::string list;
  for (int i = 0; i < 301; ++i) {
    const std::string path = "D:\\many\\f" + std::to_string(i) + ".txt";
    Put(path, "x");
    list += path + "\n";
  }
  Put(InInstallFolder("MRVENCHS"), list);
  xp::machine::ArmFault({FaultAction::kFail, "MoveFileA", 1, 0, ERROR_ACCESS_DENIED, "D:\\many\\"});
  xp::ui::Script script;
  ChooseDecrypt(script).Dialog(IDD_MESSAGE, "CDisksealDlg::decUnFinishedHD").Click(IDOK);
  const ProgramRun run = RunDiskseal(script);
  xp::machine::ClearFaults();
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  const std::vector<std::string> shown = MessagesShown();
  EXPECT_EQ(shown.empty() ? "" : shown.back(), xp::ui::Quote("Maximum error numbers exceeded."));
  EXPECT_EQ(Lines(InInstallFolder("MorvelSpecials.txt")).size(), 301u);
  EXPECT_EQ(GiveUpLog().size(), 1u + 301u);
  EXPECT_EQ(Flag(), "5");
  EXPECT_TRUE(TokenHoldsS1());
}

// A listed file that is gone gives one warning and no report; a file whose compression cannot be set again is put
// back encrypted, listed and reported with the key, and its copy recovers it.
TEST_F(GiveUpTest, MissingAndFailedFiles) {
  const std::string missing = listed_[0];
  const std::string failing = listed_[1];
  ASSERT_TRUE(DeleteFileA(missing.c_str()));
  ASSERT_TRUE(setCompressSparseAttr(true, failing.c_str()));
  const std::string encrypted = *Get(failing);
  // A list of the uninstall's from an earlier run would be recovered under this report's key.
  Put(InInstallFolder("MorvelSpecials1.txt"), "C:\\old.doc\n");
  xp::machine::ArmFault({FaultAction::kFail, "DeviceIoControl", 1, 1, ERROR_INVALID_FUNCTION, failing});

  xp::ui::Script script;
  ChooseDecrypt(script);
  script.Dialog(IDD_REPORT, "Quillmarsh Tavik - Incomplete Decryption")
      .Click(IDC_REPORT_READ)
      .Click(IDC_REPORT_RECOVER);
  script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Files have been recovered.*")).Answer(IDOK);
  script.Dialog(IDD_REPORT).Click(IDC_REPORT_COMPLETE);
  script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Your hard drive(s) has been decrypted.\r\nIn the event*"))
      .Answer(IDNO);
  script.ExpectBox(Pattern::Any(), Pattern::Wildcard("Launch process failed.*")).Answer(IDOK);
  const ProgramRun run = RunDiskseal(script);
  xp::machine::ClearFaults();
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);

  EXPECT_EQ(Get(failing), encrypted);
  EXPECT_EQ(Get(failing + ".H2K"), plain_[failing]);
  EXPECT_EQ(Get(listed_[2]), plain_[listed_[2]]);
  EXPECT_EQ(Lines(InInstallFolder("MorvelSpecials.txt")), std::vector<std::string>{failing});
  EXPECT_FALSE(Exists(InInstallFolder("MorvelSpecials1.txt")));
  EXPECT_EQ(GiveUpLog(), (std::vector<std::string>{
                             "$$$$$ Decryption Log for Incomplete Encryption $$$$$",
                             "Warning[D1]: " + missing + " not exists.",
                             "Error[D14]: set compressed attribute error on \"" + failing + "\"",
                             "",
                             "Decryption Key:",
                             key_text_,
                         }));
  EXPECT_EQ(Get(InInstallFolder("MorvelReport.txt")), Get(InInstallFolder("MRVLOG")));
  EXPECT_NE(Attributes(InInstallFolder("MorvelReport.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_FALSE(key_text_.empty());
  EXPECT_EQ(Flag(), "1");
  EXPECT_FALSE(TokenHoldsS1());
}

// A list the report dialog cannot read recovers nothing and is no success: the box says that files are not
// recovered, and the file stays encrypted, without a copy.
TEST_F(GiveUpTest, AListTheReportDialogCannotReadIsNoSuccess) {
  const std::string failing = listed_[1];
  ASSERT_TRUE(setCompressSparseAttr(true, failing.c_str()));
  const std::string encrypted = *Get(failing);
  xp::machine::ArmFault({FaultAction::kFail, "DeviceIoControl", 1, 1, ERROR_INVALID_FUNCTION, failing});
  // The give-up opens the list to write it and again to write it through to the disk; the dialog's read is the third.
  xp::machine::ArmFault({FaultAction::kFail, "CreateFileA", 3, 1, ERROR_ACCESS_DENIED,
                         "MorvelSpecials.txt"});

  xp::ui::Script script;
  ChooseDecrypt(script);
  script.Dialog(IDD_REPORT, "Quillmarsh Tavik - Incomplete Decryption")
      .Click(IDC_REPORT_READ)
      .Click(IDC_REPORT_RECOVER);
  script.ExpectBox("Quillmarsh Tavik", "Open file failure.", MB_OK | MB_ICONEXCLAMATION).Answer(IDOK);
  script.ExpectBox("Quillmarsh Tavik", "Some files are not recovered.\r\nPlease contact the vendor for more help.")
      .Answer(IDOK);
  script.Dialog(IDD_REPORT).Click(IDC_REPORT_COMPLETE);
  script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Your hard drive(s) has been decrypted.\r\nIn the event*"))
      .Answer(IDNO);
  script.ExpectBox(Pattern::Any(), Pattern::Wildcard("Launch process failed.*")).Answer(IDOK);
  const ProgramRun run = RunDiskseal(script);
  xp::machine::ClearFaults();
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u) << run.err;
  EXPECT_EQ(Get(failing), encrypted);
  EXPECT_FALSE(Get(failing + ".H2K").has_value());
  EXPECT_EQ(Lines(InInstallFolder("MorvelSpecials.txt")), std::vector<std::string>{failing});
}

// Without an install history nothing is decrypted, yet the product is removed; with one that does not open the
// give-up stops and changes nothing.
TEST_F(GiveUpTest, WithoutTheInstallHistory) {
  const std::map<std::string, std::string> before = Disk();
  ASSERT_TRUE(DeleteFileA(InInstallFolder("MRVENCHS").c_str()));
  DeleteFileA(InInstallFolder("_MRVENCHIST.BAK").c_str());
  xp::ui::Script script;
  StartFromRunOnce();
  script.Dialog(IDD_RESUME).Click(IDC_CHOOSE_DECRYPT).Click(IDOK);
  script.Dialog(IDD_DISKSEAL_DIALOG).Type(IDC_PASSWORD, kPassword).Click(IDOK);
  EndWithoutReport(script);
  const ProgramRun run = RunDiskseal(script);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(Disk(), before);
  EXPECT_EQ(Flag(), "1");
  EXPECT_FALSE(TokenHoldsS1());
}

TEST_F(GiveUpTest, AnInstallHistoryThatDoesNotOpenStopsIt) {
  const std::map<std::string, std::string> before = Disk();
  xp::machine::ArmFault({FaultAction::kFail, "CreateFileA", 1, 0, ERROR_SHARING_VIOLATION, "\\MRVENCHS"});
  xp::ui::Script script;
  StartFromRunOnce();
  script.Dialog(IDD_RESUME).Click(IDC_CHOOSE_DECRYPT).Click(IDOK);
  script.Dialog(IDD_DISKSEAL_DIALOG).Type(IDC_PASSWORD, kPassword).Click(IDOK);
  script.Dialog(IDD_MESSAGE, "CDisksealDlg::decUnFinishedHD").Click(IDOK);
  const ProgramRun run = RunDiskseal(script);
  xp::machine::ClearFaults();
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  const std::vector<std::string> shown = MessagesShown();
  EXPECT_EQ(shown.empty() ? "" : shown.back(),
            xp::ui::Quote("Decryption initialization failure for incomplete install (error code 005)."));
  EXPECT_EQ(Disk(), before);
  EXPECT_EQ(Flag(), "2");
  EXPECT_TRUE(TokenHoldsS1());
}

// The key from the token's S1 is checked against the install's key records: a token used for another install since
// decrypts nothing; records that cannot be read leave only the token's key, which is used, and the log says so.
TEST_F(GiveUpTest, TheTokensKeyIsCheckedAgainstTheKeyRecords) {
  const std::map<std::string, std::string> encrypted = Disk();
  {
    SCOPED_TRACE("a new S1 on the token");
    unsigned char s1[17] = {};
    char hex[33] = {};
    unsigned char old_s1[17] = {};
    ASSERT_EQ(read_nubo_s1(old_s1, 16), 0);
    generate_s1(s1, hex);
    ASSERT_EQ(write_nubo_s1(s1, 16), 1);
    xp::ui::Script script;
    StartFromRunOnce();
    script.Dialog(IDD_RESUME).Click(IDC_CHOOSE_DECRYPT).Click(IDOK);
    script.Dialog(IDD_DISKSEAL_DIALOG).Type(IDC_PASSWORD, kPassword).Click(IDOK);
    script.ExpectBox("Quillmarsh Tavik", kNotTheInstallsKey).Answer(IDOK);
    script.Dialog(IDD_MESSAGE, "CDisksealDlg::decUnFinishedHD").Click(IDOK);
    const ProgramRun run = RunDiskseal(script);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    const std::vector<std::string> shown = MessagesShown();
    EXPECT_EQ(shown.empty() ? "" : shown.back(),
              xp::ui::Quote("Decryption initialization failure for incomplete install (error code 004)."));
    EXPECT_EQ(Disk(), encrypted);
    EXPECT_EQ(Flag(), "2");
    ASSERT_EQ(write_nubo_s1(old_s1, 16), 1);
  }
  {
    SCOPED_TRACE("the key records gone");
    ASSERT_TRUE(DeleteFileA(InInstallFolder("MRVENTFE").c_str()));
    xp::ui::Script script;
    EndWithoutReport(ChooseDecrypt(script));
    const ProgramRun run = RunDiskseal(script);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    EXPECT_EQ(Disk(), plain_);
    const std::vector<std::string> log = GiveUpLog();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "Warning: the key records cannot be read; the key from the Tavik is used."),
              log.end());
  }
}

// A machine where the driver may still run: the logon is put back and a restart asked for before any file is read.
TEST_F(GiveUpTest, TheLogonComponentInPlaceAsksForARestartFirst) {
  SetText(HKEY_LOCAL_MACHINE, kWinlogon, "GinaDLL", "logongate.dll");
  const std::map<std::string, std::string> before = Disk();
  xp::ui::Script script;
  StartFromRunOnce();
  script.Dialog(IDD_RESUME).Click(IDC_CHOOSE_DECRYPT).Click(IDOK);
  script.Dialog(IDD_DISKSEAL_DIALOG).Type(IDC_PASSWORD, kPassword).Click(IDOK);
  script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Quillmarsh Tavik is still active*restart*")).Answer(IDOK);
  const ProgramRun run = RunDiskseal(script);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kWinlogon, "GinaDLL"), "msgina.dll");
  EXPECT_EQ(Disk(), before);
  EXPECT_EQ(Flag(), "2");
  EXPECT_EQ(RunSetup(), "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe");
}

}  // namespace
}  // namespace tavik::diskseal::testing
