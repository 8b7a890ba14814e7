// The program's start: the dispatch on the disk-state flag and the start phase, the refusals before it, the first
// start's questions and preparation, and the second start's refusal while the driver may be loaded. Each with its
// exact text, its exit code and what it leaves in the registry.
#include "program_fixture.h"
#include "setupcore.h"
#include "xp/machine.h"
#include "xp/ui.h"

namespace tavik::diskunseal::testing {
namespace {

constexpr char kDataWarning[] = "IMPORTANT! Uninstallation requires data decryption of your entire hard drive.*";
constexpr char kDriveWarning[] = "Do not proceed with uninstallation of Quillmarsh Tavik if you have either*";
constexpr UINT kWarningStyle = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;

using StartupTest = UninstallProgramTest;

// Whether the machine is as the install left it: nothing changed by a run that was refused or answered No.
void ExpectUntouched() {
  EXPECT_EQ(UninstallProgramTest::Nostart(), 1u);
  EXPECT_EQ(UninstallProgramTest::Gina(), "logongate.dll");
  EXPECT_EQ(UninstallProgramTest::RunSetup(), std::nullopt);
  EXPECT_EQ(xp::machine::PendingRestart(), std::nullopt);
}

TEST_F(StartupTest, FlagAndStartPhaseDispatch) {
  enum Driver { kOn, kOff, kSeven, kNoValue, kNoKey };
  const struct {
    const char* name;
    const char* flag;  // nullptr: no value
    Driver driver;
    unsigned short state;
    const char* box;  // nullptr: the main dialog comes up
    UINT style;
  } rows[] = {
      {"decrypted", "1", kOn, 1000,
       "Your hard drive(s) has been decrypted.\r\nTo completely remove Quillmarsh Tavik, please run Uninstall from "
       "Start Menu.",
       MB_OK | MB_ICONINFORMATION},
      {"encrypting", "2", kOn, 1000,
       "Encryption is not complete.\r\nPlease reboot machine to continue finish encryption/decryption.",
       MB_OK | MB_ICONINFORMATION},
      {"installed only", "4", kOn, 1000, "Your machine is not encrypted yet.", MB_OK | MB_ICONINFORMATION},
      {"incomplete install", "5", kOn, 1000,
       "Incomplete Install Recover State Detected.\r\nQuillmarsh Tavik will continue the recover.",
       MB_OK | MB_ICONINFORMATION},
      {"unknown flag", "7", kOn, 1000, "Invalid system state 7", MB_OK | MB_ICONERROR},
      {"no flag", nullptr, kOn, 1000, "Get system status failure.", MB_OK | MB_ICONERROR},
      {"flag too long to read", "1234", kOn, 1000, "Get system status failure.", MB_OK | MB_ICONERROR},
      {"second start", "0", kOff, 1000, nullptr, 0},
      {"resumed run", "3", kOff, 1100, nullptr, 0},
      {"resumed after the registry clean-up", "3", kNoKey, 1300, nullptr, 0},
      {"driver key gone before any run", "0", kNoKey, 0, "Get Kernel Auto-activation State Error (2).",
       MB_OK | MB_ICONERROR},
      {"driver key gone, state unreadable", "3", kNoKey, 9999, "Get Kernel Auto-activation State Error (2).",
       MB_OK | MB_ICONERROR},
      {"nostart nobody writes", "0", kSeven, 1000, "Get Kernel Auto-activation State Error (4).",
       MB_OK | MB_ICONERROR},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    HKEY flags = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFlagKey, 0, KEY_ALL_ACCESS, &flags), ERROR_SUCCESS);
    RegDeleteValueA(flags, "Decrypted");
    RegCloseKey(flags);
    if (row.flag != nullptr) SetText(HKEY_LOCAL_MACHINE, kFlagKey, "Decrypted", row.flag);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverKey);
    if (row.driver != kNoKey) SetNostart(row.driver == kOn ? 1 : row.driver == kOff ? 0 : 7);
    if (row.state == 9999) {
      HANDLE state = CreateFileA(InstallFile("MRVSTATE").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      DWORD written = 0;
      WriteFile(state, "x", 1, &written, nullptr);
      CloseHandle(state);
    } else {
      ASSERT_TRUE(write_hd_install_state(row.state));
    }
    SetText(HKEY_LOCAL_MACHINE, kWinlogonKey, "GinaDLL", row.driver == kOn || row.driver == kSeven ? "logongate.dll"
                                                                                                 : "msgina.dll");
    HKEY run_once = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_ALL_ACCESS, &run_once), ERROR_SUCCESS);
    RegDeleteValueA(run_once, "RunSetup");
    RegCloseKey(run_once);

    xp::ui::Script script;
    if (row.box != nullptr) {
      script.ExpectBox("Quillmarsh Tavik", row.box, row.style).Answer(IDOK);
    } else {
      // The user leaves the main dialog; the backdrop stays until it is dismissed too.
      script.Dialog(IDD_DISKUNSEAL_DIALOG, "Quillmarsh Tavik Uninstallation").Escape();
      script.Dialog(IDD_BACKDROP).Escape();
    }
    const ProgramRun run = RunDiskunseal(script);
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u) << run.err;
    EXPECT_EQ(run.exit_code, row.box != nullptr ? 1 : 0) << run.err;
    // Only a second start arms the next start, and nothing asks for a restart.
    EXPECT_EQ(RunSetup(), row.box != nullptr ? std::nullopt : std::optional<std::string>(kProgramPath));
    EXPECT_EQ(xp::machine::PendingRestart(), std::nullopt);
  }
}

TEST_F(StartupTest, RefusalsBeforeTheDispatchChangeNothing) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "MorvelMutex");
  xp::ui::Script script;
  script.ExpectBox("Quillmarsh Tavik", "There is already an instance running.", MB_OK).Answer(IDOK);
  const ProgramRun second = RunDiskunseal(script);
  EXPECT_EQ(second.exit_code, 1) << second.err;
  CloseHandle(mutex);

  ::setenv("XPMACHINE_USER", "User", 1);
  xp::ui::Script user;
  user.ExpectBox("Quillmarsh Tavik",
                 "Uninstall can not continue and will exit because current user is not\r\nmember of Administrators "
                 "group.\r\n\r\nPlease add your current account to Administrator's group and try agin.",
                 MB_OK | MB_ICONERROR)
      .Answer(IDOK);
  const ProgramRun ordinary = RunDiskunseal(user);
  ::unsetenv("XPMACHINE_USER");
  EXPECT_EQ(ordinary.exit_code, 1) << ordinary.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  ExpectUntouched();
}

class FullVolumeTest : public UninstallProgramTest {
 protected:
  FullVolumeTest() : UninstallProgramTest(0xC800000 - 1) {}
};

TEST_F(FullVolumeTest, AVolumeBelow200MiBRefusesWithTheSameFigure) {
  xp::ui::Script script;
  script
      .ExpectBox("Quillmarsh Tavik",
                 "Not enough free space. Uninstalling Quillmarsh Tavik requires at least\r\n200M bytes free space on "
                 "each partition.\r\nPlease retry uninstall after you create enough space.",
                 MB_OK | MB_ICONERROR)
      .Answer(IDOK);
  const ProgramRun run = RunDiskunseal(script);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  ExpectUntouched();
}

TEST_F(StartupTest, FirstStartChangesNothingUntilBothWarningsAreAccepted) {
  const struct {
    const char* name;
    std::vector<int> answers;
  } rows[] = {{"No to the first", {IDNO}}, {"No to the second", {IDYES, IDNO}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    xp::ui::Script script;
    const char* warnings[] = {kDataWarning, kDriveWarning};
    for (size_t i = 0; i < row.answers.size(); ++i) {
      script.ExpectBox("Quillmarsh Tavik Uninstallation", xp::ui::Pattern::Wildcard(warnings[i]), kWarningStyle)
          .Answer(row.answers[i]);
    }
    const ProgramRun run = RunDiskunseal(script);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    ExpectUntouched();
  }
}

TEST_F(StartupTest, FirstStartPutsTheLogonBackSwitchesActivationOffAndRestarts) {
  xp::ui::Script script;
  script.ExpectBox("Quillmarsh Tavik Uninstallation", xp::ui::Pattern::Wildcard(kDataWarning), kWarningStyle).Answer(IDYES);
  script.ExpectBox("Quillmarsh Tavik Uninstallation", xp::ui::Pattern::Wildcard(kDriveWarning), kWarningStyle).Answer(IDYES);
  const ProgramRun run = RunDiskunseal(script);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(Nostart(), 0u);
  EXPECT_EQ(Gina(), "msgina.dll");
  EXPECT_EQ(RunSetup(), kProgramPath);
  EXPECT_EQ(xp::machine::PendingRestart(), EWX_REBOOT | EWX_FORCE);
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kFlagKey, "Decrypted"), "0");
}

TEST_F(StartupTest, AFailedLogonResetLeavesActivationOn) {
  // Without the Winlogon key the logon cannot be put back; activation must then stay on, or the next start would
  // take itself for the second one with the logon component still loading the driver.
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kWinlogonKey), ERROR_SUCCESS);
  xp::ui::Script script;
  script.ExpectBox("Quillmarsh Tavik Uninstallation", xp::ui::Pattern::Wildcard(kDataWarning), kWarningStyle).Answer(IDYES);
  script.ExpectBox("Quillmarsh Tavik Uninstallation", xp::ui::Pattern::Wildcard(kDriveWarning), kWarningStyle).Answer(IDYES);
  script.ExpectBox("Quillmarsh Tavik", "Failed to reset Gina.\r\nPlease contact software vendor for help.",
                   MB_OK | MB_ICONERROR)
      .Answer(IDOK);
  const ProgramRun run = RunDiskunseal(script);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(Nostart(), 1u);
  EXPECT_EQ(RunSetup(), std::nullopt);
  EXPECT_EQ(xp::machine::PendingRestart(), std::nullopt);
}

TEST_F(StartupTest, SecondStartWithTheLogonComponentStillNamedRestoresTheLogonOnce) {
  SetNostart(0);  // activation off, but "GinaDLL" still names the component that loads the driver
  xp::ui::Script script;
  script
      .ExpectBox("Quillmarsh Tavik", xp::ui::Pattern::Wildcard("Quillmarsh Tavik kernel is still active*"),
                 MB_OK | MB_ICONEXCLAMATION)
      .Answer(IDOK);
  const ProgramRun refused = RunDiskunseal(script);
  EXPECT_EQ(refused.exit_code, 1) << refused.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  EXPECT_EQ(Gina(), "msgina.dll");
  EXPECT_EQ(RunSetup(), kProgramPath);
  EXPECT_EQ(xp::machine::PendingRestart(), EWX_REBOOT | EWX_FORCE);
  EXPECT_TRUE(MessagesShown().empty());

  // The start after that restart goes on to the main dialog.
  xp::machine::ClearRestartRequest();
  xp::ui::Script next;
  next.Dialog(IDD_DISKUNSEAL_DIALOG).Escape();
  next.Dialog(IDD_BACKDROP).Escape();
  const ProgramRun resumed = RunDiskunseal(next);
  EXPECT_EQ(resumed.exit_code, 0) << resumed.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

}  // namespace
}  // namespace tavik::diskunseal::testing
