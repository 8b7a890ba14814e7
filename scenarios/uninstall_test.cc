// The whole life of a protected machine, through real boots: the install and its first token logon; a file changed
// and one made by a program of the machine while the driver holds the key; the uninstaller's first start at a token
// logon, which puts the system's own logon back, switches the driver's activation off, arms RunOnce and restarts;
// the next boot's logon at the system's own logon, no driver loaded, where RunOnce brings the uninstaller's main
// dialog; the decryption by the token password or by a Key Answer; and the uninstall command. At the end every file
// holds what was last written to it, byte for byte, and the product is gone from the registry, the Winlogon entries,
// the token and the disk. With one file left encrypted, by either way, the report keeps its key, the recovery tool
// writes its plain copy, and the uninstall command keeps the report and the lists; a power loss right after the
// first round does not lose that file's report.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <ostream>
#include <regex>
#include <sstream>

#include "logon_machine.h"
#include "run_program.h"
#include "windows.h"
#include "xp/ui_script.h"

namespace tavik::scenarios {
namespace {

using xp::ui::Pattern;

constexpr char kRunOnce[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kWinlogon[] = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char kProductKey[] = "HKLM\\SOFTWARE\\Quillmarsh\\Tavik";
constexpr char kDriverKey[] = "HKLM\\SOFTWARE\\Quillmarsh\\Tavik\\driver";
constexpr char kFlagKey[] = "HKLM\\SOFTWARE\\Quillmarsh\\morvelFlag";
constexpr char kDriverService[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Morvel";
constexpr char kDiskunseal[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskunseal.exe";
constexpr char kUninstallCommand[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\TavikUninstall.exe";
constexpr char kSn[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\MRVPUZSN";
constexpr char kCaption[] = "Quillmarsh Tavik";
constexpr char kWarningCaption[] = "Quillmarsh Tavik Uninstallation";
constexpr int kMainDialog = 102, kPasswordEdit = 1000, kContinue = 1027;
constexpr int kKeyAnswerRadio = 1026, kKeyAnswerEdit = 1009;
constexpr int kReportDialog = 139, kReadReport = 1010, kCompleteDecryption = 1012;
constexpr int kRecoveryDialog = 102;

// What the user's programs write while the driver holds the key: a file of the install changed across its old
// end (so its last partial block moves), and a file made new.
struct Edit {
  const char* path;
  long offset;
  std::string text;
};
const std::vector<Edit>& Edits() {
  static const std::vector<Edit> edits = {
      {"C:\\Docs\\blocks.bin", 4000, "rewritten after the install, across the old end: " + std::string(120, 'y')},
      {"C:\\Docs\\made after the install.txt", 0, "a letter written on the protected disk: 48 bytes"},
  };
  return edits;
}

// Every file as the user last wrote it.
std::map<std::string, std::string> LastWritten() {
  std::map<std::string, std::string> files = ProtectedFiles();
  for (const Edit& edit : Edits()) {
    std::string& content = files[edit.path];
    const size_t end = static_cast<size_t>(edit.offset) + edit.text.size();
    if (content.size() < end) content.resize(end);
    content.replace(static_cast<size_t>(edit.offset), edit.text.size(), edit.text);
  }
  return files;
}

bool Has(const std::vector<std::string>& lines, const std::string& pattern) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return Pattern::Wildcard(pattern).Matches(line); });
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The install, its first token logon, the user's edits through the driver, then the uninstaller's first start at
// the next token logon. Returns with the machine about to boot into the uninstall's second start.
void LiveThenStartTheUninstall(LogonMachine& machine) {
  ASSERT_EQ(machine.Boot(TokenLogOn() + FirstAccount()), 0);
  for (const Edit& edit : Edits()) {
    ASSERT_EQ(machine.Run(xp::test::BuildProgram("scenario_file_edit"),
                          {edit.path, std::to_string(edit.offset), edit.text}),
              0)
        << edit.path;
  }
  for (const auto& [path, content] : LastWritten()) ASSERT_EQ(machine.Read(path), content) << path;

  // The user starts the uninstaller; here it comes as RunOnce brings it, at the next token logon.
  machine.SetRegistryText(kRunOnce, "RunSetup", kDiskunseal);
  xp::ui::Script first;
  first.ExpectBox(kWarningCaption, Pattern::Wildcard("IMPORTANT! Uninstallation requires*")).Answer(IDYES);
  first.ExpectBox(kWarningCaption, Pattern::Wildcard("Do not proceed with uninstallation*")).Answer(IDYES);
  ASSERT_EQ(machine.Boot(TokenLogOn() + KeptAccount() + first.Text()), 0);
  EXPECT_TRUE(Has(machine.LastBoot(), "restart requested (flags 6)")) << "the first start asks for the restart";
  EXPECT_NE(machine.Registry(kWinlogon, "GinaDLL").find("msgina.dll"), std::string::npos);
  EXPECT_NE(machine.Registry(kDriverKey, "nostart").find("0x0"), std::string::npos);
  EXPECT_NE(machine.Registry(kRunOnce, "RunSetup").find(kDiskunseal), std::string::npos);
  // What the user's programs wrote lies encrypted on the disk: the uninstall must decrypt it.
  for (const Edit& edit : Edits()) {
    const std::optional<std::string> disk = machine.OnDisk(edit.path);
    ASSERT_TRUE(disk.has_value()) << edit.path;
    EXPECT_EQ(disk->size(), LastWritten().at(edit.path).size()) << edit.path;
    EXPECT_NE(disk, LastWritten().at(edit.path)) << edit.path;
  }
}

// The second start's boot: the system's own logon (no token needed, no driver loaded), then RunOnce's main dialog
// answered by `authenticate`, the temporary folder kept and the decryption's warning read; `end` answers the rest.
int SecondStart(LogonMachine& machine, const std::function<void(xp::ui::Script&)>& authenticate,
                const std::function<void(xp::ui::Script&)>& end) {
  xp::ui::Script second;
  second.CtrlAltDel("Welcome to Windows");
  second.Dialog(1500).Type(1502, "Administrator").Type(1504, "admin").Click(IDOK);
  authenticate(second);
  second.ExpectBox(kCaption, Pattern::Wildcard("It is recommended that you empty*")).Answer(IDNO);
  second.Dialog(137).Click(IDOK);
  second.ExpectBox(kWarningCaption, Pattern::Wildcard("Important: During decryption*")).Answer(IDOK);
  end(second);
  return machine.Boot(second.Text());
}

void ByPassword(xp::ui::Script& script) {
  script.Dialog(kMainDialog, "Quillmarsh Tavik Uninstallation").Type(kPasswordEdit, kTokenPassword).Click(kContinue);
}

// How the user proves the right to the disk at the main dialog: the token password, or, with the token unplugged,
// the maker's web service's Key Answer to the Key Puzzle the dialog shows (the machine's SN).
enum class Way { kTokenPassword, kKeyAnswer };
void PrintTo(Way way, std::ostream* out) { *out << (way == Way::kTokenPassword ? "token password" : "Key Answer"); }
std::function<void(xp::ui::Script&)> Authenticate(const LogonMachine& machine, Way way) {
  if (way == Way::kTokenPassword) return ByPassword;
  const std::string answer = machine.KeyAnswer(Hex(machine.OnDisk(kSn).value_or("")));
  EXPECT_EQ(answer.size(), 32u);
  return [answer](xp::ui::Script& script) {
    script.UnplugToken();
    script.Dialog(kMainDialog, "Quillmarsh Tavik Uninstallation")
        .Click(kKeyAnswerRadio)
        .Type(kKeyAnswerEdit, answer)
        .Click(kContinue);
  };
}

void AllDecrypted(xp::ui::Script& script) {
  script.ExpectBox(kCaption, Pattern::Wildcard("Tavik has successfully decrypted*")).Answer(IDOK);
}

// Every file holds what was last written to it, on the disk and as the machine's programs read it; no temporary
// copy is left.
void ExpectEveryFileAsLastWritten(const LogonMachine& machine) {
  for (const auto& [path, content] : LastWritten()) {
    EXPECT_EQ(machine.OnDisk(path), content) << path;
    EXPECT_EQ(machine.Read(path), content) << path;
    EXPECT_EQ(machine.OnDisk(path + ".H0K"), std::nullopt) << path;
  }
}

// The product is gone from the registry and the logon: its tree, the driver's service, the flag key (the uninstall
// command's), "GinaDLL" (so Winlogon loads its own logon again) and the verifier in "Userinit".
void ExpectProductRegistryGone(const LogonMachine& machine) {
  EXPECT_FALSE(machine.RegistryKeyExists(kProductKey));
  EXPECT_FALSE(machine.RegistryKeyExists(kDriverService));
  EXPECT_FALSE(machine.RegistryKeyExists(kFlagKey));
  EXPECT_EQ(machine.Registry(kWinlogon, "GinaDLL"), "");
  const std::string userinit = machine.Registry(kWinlogon, "Userinit");
  EXPECT_NE(userinit.find("userinit.exe"), std::string::npos) << userinit;
  EXPECT_EQ(userinit.find("MRVVerifyCFK"), std::string::npos) << userinit;
}

TEST(WholeLife, ByTokenPasswordEveryFileComesBackAsLastWrittenAndTheProductGoes) {
  LogonMachine machine;
  ASSERT_NO_FATAL_FAILURE(LiveThenStartTheUninstall(machine));
  const std::string s1_record = machine.TokenS1Record();

  ASSERT_EQ(SecondStart(machine, ByPassword, AllDecrypted), 0);
  const std::vector<std::string> boot = machine.LastBoot();
  EXPECT_TRUE(Has(boot, "winlogon GINA msgina.dll*"));
  EXPECT_FALSE(Has(boot, "*logongate*"));
  EXPECT_TRUE(Has(boot, "ui dialog 102 control 1038 edit \"Important: During decryption*"))
      << "the main dialog switched to its progress view for the engine";
  EXPECT_TRUE(Has(boot, "launch pid * C:\\Program Files\\Quillmarsh\\Tavik\\XP\\TavikUninstall.exe"))
      << "the uninstall command ran";
  ASSERT_TRUE(machine.AwaitEnded("TavikUninstall.exe"));

  ExpectEveryFileAsLastWritten(machine);
  ExpectProductRegistryGone(machine);
  // The token no longer binds a machine: its S1 is still there, its check copy is erased.
  const std::string record = machine.TokenS1Record();
  EXPECT_EQ(record.substr(0, 16), s1_record.substr(0, 16));
  EXPECT_EQ(record.substr(16), std::string(16, '\xFF'));
  EXPECT_NE(s1_record.substr(16), std::string(16, '\xFF'));
  // Nothing failed, so nothing is kept: the install folder went with the key records and the state.
  EXPECT_EQ(machine.InstallFolder(), std::vector<std::string>());

  // The machine boots as before the install: the system's own logon, nothing of the product started, the files as
  // they were last written.
  xp::ui::Script next;
  next.CtrlAltDel("Welcome to Windows");
  next.Dialog(1500).Type(1502, "Administrator").Type(1504, "admin").Click(IDOK);
  ASSERT_EQ(machine.Boot(next.Text()), 0);
  const std::vector<std::string> after = machine.LastBoot();
  EXPECT_TRUE(Has(after, "winlogon logon Administrator"));
  EXPECT_FALSE(Has(after, "*logongate*"));
  EXPECT_FALSE(Has(after, "launch pid * *MRVVerifyCFK*"));
  ExpectEveryFileAsLastWritten(machine);
}

TEST(WholeLife, ByKeyAnswerWithTheTokenUnpluggedTheTokenIsLeftAlone) {
  LogonMachine machine;
  ASSERT_NO_FATAL_FAILURE(LiveThenStartTheUninstall(machine));
  const std::string s1_record = machine.TokenS1Record();
  const std::string puzzle = Hex(machine.OnDisk(kSn).value());
  ASSERT_EQ(SecondStart(machine, Authenticate(machine, Way::kKeyAnswer), AllDecrypted), 0);
  EXPECT_TRUE(Has(machine.LastBoot(), "ui dialog 102 control 1007 edit \"" + puzzle + "\"*"))
      << "the Key Puzzle shown is the SN";
  ASSERT_TRUE(machine.AwaitEnded("TavikUninstall.exe"));

  ExpectEveryFileAsLastWritten(machine);
  ExpectProductRegistryGone(machine);
  EXPECT_EQ(machine.TokenS1Record(), s1_record) << "a Key Answer uninstall never touches the token";
  EXPECT_EQ(machine.InstallFolder(), std::vector<std::string>());
}

// How the one file failed: its rename to the temporary name was refused, so it stays encrypted under its own name;
// or its temporary copy did not read and then could not be renamed back, so its encrypted content stays under
// path + ".H0K" and nothing under its own name.
enum class Failure { kNotRenamed, kNotPutBack };
struct LeftEncrypted {
  Way way;
  Failure failure;
};
void PrintTo(const LeftEncrypted& c, std::ostream* out) {
  PrintTo(c.way, out);
  *out << (c.failure == Failure::kNotRenamed ? ", not renamed" : ", not put back");
}

class FileLeftEncrypted : public ::testing::TestWithParam<LeftEncrypted> {};

TEST_P(FileLeftEncrypted, IsReportedWithItsKeyRecoveredIntoItsCopyAndTheReportStays) {
  const LeftEncrypted c = GetParam();
  LogonMachine machine;
  ASSERT_NO_FATAL_FAILURE(LiveThenStartTheUninstall(machine));
  const std::string leftover = "C:\\Docs\\report.txt";
  const std::string temporary = leftover + ".H0K";
  const std::string encrypted = machine.OnDisk(leftover).value();
  std::string logged;  // the log line, as the report holds it
  std::string holder;  // where the encrypted content stays
  std::function<void(xp::ui::Script&)> shown = [](xp::ui::Script&) {};  // the boxes while the file fails
  if (c.failure == Failure::kNotRenamed) {
    machine.Arm({xp::machine::FaultAction::kFail, "MoveFileA", 1, 0, ERROR_SHARING_VIOLATION, leftover});
    logged = "Error[D4]: cannot rename \"" + leftover + "\" to \"~.H0K\"";
    holder = leftover;
  } else {
    machine.Arm({xp::machine::FaultAction::kFail, "ReadFile", 1, 1, ERROR_READ_FAULT, temporary});
    machine.Arm({xp::machine::FaultAction::kFail, "MoveFileA", 1, 0, ERROR_ACCESS_DENIED, temporary});
    shown = [temporary](xp::ui::Script& script) {
      script.ExpectBox("Read error code 30", temporary).Answer(IDOK);
      script.ExpectBox(Pattern::Any(), Pattern::Wildcard("Please rename this file*" + temporary + "*")).Answer(IDOK);
    };
    logged = "Error[D12]: Read error on \"" + temporary + "\"";
    holder = temporary;
  }

  const auto report_then_recovery = [&shown](xp::ui::Script& script) {
    shown(script);
    script.Dialog(kReportDialog, kCaption).Check(kReadReport).Click(kCompleteDecryption);
    script.ExpectBox(kCaption, Pattern::Wildcard("Your hard drive(s) has been decrypted.\r\nIn the event that some*"))
        .Answer(IDYES);
    script.Dialog(kRecoveryDialog, "File Recovery Tool").Click(IDOK);
    script.ExpectBox("File Recovery Tool", Pattern::Wildcard("Your files have been successfully recovered*"))
        .Answer(IDOK);
    script.Dialog(kRecoveryDialog, "File Recovery Tool").Click(IDCANCEL);
  };
  ASSERT_EQ(SecondStart(machine, Authenticate(machine, c.way), report_then_recovery), 0);
  machine.ClearFaults();
  const std::vector<std::string> boot = machine.LastBoot();
  EXPECT_TRUE(Has(boot, "launch pid * C:\\Program Files\\Quillmarsh\\Tavik\\XP\\recoverkit.exe*"));
  EXPECT_FALSE(Has(boot, "launch pid * *TavikUninstall.exe*")) << "the user chose the recovery tool";
  ASSERT_TRUE(machine.AwaitEnded("recoverkit.exe"));

  // The report is the log with the key block at its end; the first round's list names the file.
  const std::string report = machine.OnDisk(std::string(kInstallFolder) + "\\MorvelReport.txt").value_or("");
  EXPECT_NE(report.find("[Decryption Log (Section 1)]"), std::string::npos);
  EXPECT_NE(report.find(logged), std::string::npos) << report;
  // The key's letter case is the token's with the password; a Key Answer's key is written in lower case.
  const std::string key_digits = c.way == Way::kKeyAnswer ? "[0-9a-f]{32}" : "[0-9a-fA-F]{32}";
  EXPECT_TRUE(std::regex_search(report, std::regex("\r\n\\d+-\\d+-\\d+ \\d+:\\d+:\\d+ Decryption Key:\r\n" +
                                                   key_digits + "\r\n$")))
      << report.substr(report.size() > 200 ? report.size() - 200 : 0);
  EXPECT_EQ(Lines(machine.OnDisk(std::string(kInstallFolder) + "\\MorvelSpecials1.txt").value_or("")),
            std::vector<std::string>{leftover});

  // The recovery tool took the key from the report: the copy is the original, the encrypted content untouched.
  const auto expect_recovered = [&] {
    EXPECT_EQ(machine.OnDisk(leftover + ".H2K"), LastWritten().at(leftover));
    EXPECT_EQ(machine.OnDisk(holder), encrypted);
    EXPECT_EQ(machine.Read(holder), encrypted) << "nor changed in the kernel's cache";
    if (holder != leftover) {
      EXPECT_EQ(machine.OnDisk(leftover), std::nullopt);
    }
  };
  expect_recovered();
  for (const auto& [path, content] : LastWritten()) {
    if (path != leftover) {
      EXPECT_EQ(machine.OnDisk(path), content) << path;
    }
  }

  EXPECT_TRUE(machine.Registry(kFlagKey, "Decrypted").ends_with(" 1")) << "the disk is plain";
  // The user runs the uninstall command, as the recovery tool's end box says: the product goes, the report and the
  // lists stay beside the files they name.
  ASSERT_EQ(machine.Run(kUninstallCommand), 0);
  ExpectProductRegistryGone(machine);
  EXPECT_EQ(machine.InstallFolder(),
            (std::vector<std::string>{"MorvelReport.txt", "MorvelSpecials1.txt", "MorvelSpecials2.txt"}));
  EXPECT_EQ(machine.OnDisk(std::string(kInstallFolder) + "\\MorvelReport.txt"), report);
  expect_recovered();
}

INSTANTIATE_TEST_SUITE_P(WholeLife, FileLeftEncrypted,
                         ::testing::Values(LeftEncrypted{Way::kTokenPassword, Failure::kNotRenamed},
                                           LeftEncrypted{Way::kKeyAnswer, Failure::kNotRenamed},
                                           LeftEncrypted{Way::kTokenPassword, Failure::kNotPutBack}),
                         [](const ::testing::TestParamInfo<LeftEncrypted>& info) {
                           return std::string(info.param.way == Way::kTokenPassword ? "ByTokenPassword"
                                                                                    : "ByKeyAnswer") +
                                  (info.param.failure == Failure::kNotRenamed ? "_NotRenamed" : "_NotPutBack");
                         });

TEST(WholeLife, APowerLossRightAfterTheFirstRoundStillEndsInTheReportOfTheFileLeftEncrypted) {
  LogonMachine machine;
  ASSERT_NO_FATAL_FAILURE(LiveThenStartTheUninstall(machine));
  const std::string leftover = "C:\\Docs\\report.txt";
  const std::string encrypted = machine.OnDisk(leftover).value();
  machine.Arm({xp::machine::FaultAction::kFail, "MoveFileA", 1, 0, ERROR_SHARING_VIOLATION, leftover});
  // The power goes with the first round's checkpoint on the disk: right after its closing debug line.
  machine.Arm({xp::machine::FaultAction::kPowerLoss, "kernel:write", 2, 1, 0, "_mrvDebugInfo.txt"});
  SecondStart(machine, ByPassword, [](xp::ui::Script&) {});
  machine.ClearFaults();
  ASSERT_TRUE(Has(machine.LastBoot(), "power off*"));
  ASSERT_TRUE(machine.OnDisk(std::string(kInstallFolder) + "\\MRVSTATE").value_or("").starts_with("1100"));

  // The next logon resumes at the second round: the first round's failure must still be reported, with the key.
  const auto report_then_uninstall = [](xp::ui::Script& script) {
    script.Dialog(kReportDialog, kCaption).Check(kReadReport).Click(kCompleteDecryption);
    script.ExpectBox(kCaption, Pattern::Wildcard("Your hard drive(s) has been decrypted.\r\nIn the event that some*"))
        .Answer(IDNO);
  };
  ASSERT_EQ(SecondStart(machine, ByPassword, report_then_uninstall), 0);
  ASSERT_TRUE(machine.AwaitEnded("TavikUninstall.exe"));
  // The user answered No: the uninstall command ran at once and kept the report and the lists.
  EXPECT_EQ(machine.InstallFolder(),
            (std::vector<std::string>{"MorvelReport.txt", "MorvelSpecials1.txt", "MorvelSpecials2.txt"}));
  const std::string report = machine.OnDisk(std::string(kInstallFolder) + "\\MorvelReport.txt").value_or("");
  EXPECT_NE(report.find("Error[D4]: cannot rename \"" + leftover + "\" to \"~.H0K\""), std::string::npos) << report;
  EXPECT_NE(report.find("Decryption Key:"), std::string::npos) << report;
  EXPECT_EQ(Lines(machine.OnDisk(std::string(kInstallFolder) + "\\MorvelSpecials1.txt").value_or("")),
            std::vector<std::string>{leftover});
  EXPECT_EQ(machine.OnDisk(leftover), encrypted);
}

}  // namespace
}  // namespace tavik::scenarios
