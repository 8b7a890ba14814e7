// The uninstall's two starts on a whole install, through real boots: the user starts diskunseal at a token logon;
// its first start puts the system's own logon back, switches the driver's activation off, arms RunOnce and
// restarts; the next boot logs on at the system's own logon, no driver loaded, and RunOnce brings diskunseal back to
// its main dialog, where the token password hands over to the decryption, which ends in plain files and the
// uninstall command.
#include <gtest/gtest.h>

#include <algorithm>

#include "logon_machine.h"
#include "windows.h"
#include "xp/ui_script.h"

namespace tavik::scenarios {
namespace {

constexpr char kRunOnce[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kWinlogon[] = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char kDriverKey[] = "HKLM\\SOFTWARE\\Quillmarsh\\Tavik\\driver";
constexpr char kDiskunseal[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskunseal.exe";
constexpr char kWarningCaption[] = "Quillmarsh Tavik Uninstallation";
constexpr int kMainDialog = 102, kPasswordEdit = 1000, kContinue = 1027;

bool Has(const std::vector<std::string>& lines, const std::string& pattern) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return xp::ui::Pattern::Wildcard(pattern).Matches(line); });
}

TEST(UninstallRoad, TheFirstStartRestartsIntoTheSystemsOwnLogonAndTheSecondDecryptsByPassword) {
  LogonMachine machine;
  ASSERT_EQ(machine.Boot(TokenLogOn() + FirstAccount()), 0);

  // The user starts the uninstaller; here it comes as RunOnce brings it, at the next token logon.
  machine.SetRegistryText(kRunOnce, "RunSetup", kDiskunseal);
  xp::ui::Script first;
  first.ExpectBox(kWarningCaption, xp::ui::Pattern::Wildcard("IMPORTANT! Uninstallation requires*")).Answer(IDYES);
  first.ExpectBox(kWarningCaption, xp::ui::Pattern::Wildcard("Do not proceed with uninstallation*")).Answer(IDYES);
  ASSERT_EQ(machine.Boot(TokenLogOn() + KeptAccount() + first.Text()), 0);
  EXPECT_TRUE(Has(machine.LastBoot(), "restart requested (flags 6)")) << "the first start asks for the restart";
  EXPECT_NE(machine.Registry(kWinlogon, "GinaDLL").find("msgina.dll"), std::string::npos);
  EXPECT_NE(machine.Registry(kDriverKey, "nostart").find("0x0"), std::string::npos);
  EXPECT_NE(machine.Registry(kRunOnce, "RunSetup").find(kDiskunseal), std::string::npos);

  // The system's own logon: no token, no driver; RunOnce brings the main dialog, the password hands over.
  xp::ui::Script second;
  second.CtrlAltDel("Welcome to Windows");
  second.Dialog(1500).Type(1502, "Administrator").Type(1504, "admin").Click(IDOK);
  second.Dialog(kMainDialog, "Quillmarsh Tavik Uninstallation").Type(kPasswordEdit, kTokenPassword).Click(kContinue);
  second.ExpectBox("Quillmarsh Tavik", xp::ui::Pattern::Wildcard("It is recommended that you empty*")).Answer(IDNO);
  second.Dialog(137).Click(IDOK);
  second.ExpectBox(kWarningCaption, xp::ui::Pattern::Wildcard("Important: During decryption*")).Answer(IDOK);
  second.ExpectBox("Quillmarsh Tavik", xp::ui::Pattern::Wildcard("Tavik has successfully decrypted*")).Answer(IDOK);
  ASSERT_EQ(machine.Boot(second.Text()), 0);
  const std::vector<std::string> boot = machine.LastBoot();
  EXPECT_TRUE(Has(boot, "winlogon GINA msgina.dll*"));
  EXPECT_FALSE(Has(boot, "*logongate*"));
  EXPECT_TRUE(Has(boot, "ui dialog 102 control 1038 edit \"Important: During decryption*"))
      << "the main dialog switched to its progress view for the engine";
  // The engine decrypted every protected file in place, removed the driver's settings with the product's key and
  // handed over to the uninstall command.
  for (const auto& [path, plain] : ProtectedFiles()) EXPECT_EQ(machine.OnDisk(path), plain) << path;
  EXPECT_EQ(machine.Registry(kDriverKey, "nostart"), "");
  EXPECT_TRUE(Has(boot, "launch pid * C:\\Program Files\\Quillmarsh\\Tavik\\XP\\TavikUninstall.exe"))
      << "the uninstall command ran";
}

}  // namespace
}  // namespace tavik::scenarios
