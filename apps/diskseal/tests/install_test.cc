// A whole install by the program, as a person makes it on a fresh machine: every eligible file ends in the
// system's format, the registry and the install folder as the install leaves them, and a restart requested.
#include <fstream>
#include <map>

#include "program_fixture.h"
#include "setupcore.h"
#include "winsvc.h"
#include "xp/machine.h"

namespace tavik::diskseal::testing {
namespace {

class InstallTest : public ProgramTest {};

TEST_F(InstallTest, AFreshMachineEndsEncryptedRegisteredAndRestarting) {
  const std::map<std::string, bool> tree = {
      {"C:\\Documents and Settings\\User\\My Documents\\letter.doc", true},
      {"C:\\Documents and Settings\\User\\My Documents\\odd.bin", true},
      {"C:\\Documents and Settings\\User\\desktop.ini", false},
      {"C:\\boot.txt", false},
      {"D:\\root.txt", true},
      {"D:\\data\\big.dat", true},
      {"C:\\WINDOWS\\system32\\config.sys", false},
  };
  std::map<std::string, std::string> plain;
  uint32_t seed = 3;
  for (const auto& [path, encrypted] : tree) {
    plain[path] = RandomBytes(path.ends_with("big.dat") ? 300000 : 777 + seed, seed);
    Put(path, plain[path]);
    ++seed;
  }
  Put("C:\\WINDOWS\\Temp\\junk.tmp", "junk");
  SetFileAttributesA("C:\\Documents and Settings\\User\\My Documents\\letter.doc", FILE_ATTRIBUTE_READONLY);

  xp::ui::Script script;
  const ProgramRun run = RunDiskseal(FreshInstall(script));
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);

  for (const auto& [path, encrypted] : tree) {
    SCOPED_TRACE(path);
    EXPECT_TRUE((encrypted ? Decrypted(path) : Get(path)) == plain[path]);
    if (encrypted) {
      EXPECT_FALSE(Get(path) == plain[path]);
    }
    EXPECT_FALSE(Exists(path + ".H1K"));
  }
  EXPECT_FALSE(Exists("C:\\WINDOWS\\Temp\\junk.tmp"));
  EXPECT_EQ(Attributes("C:\\Documents and Settings\\User\\My Documents\\letter.doc") & FILE_ATTRIBUTE_READONLY,
            DWORD{FILE_ATTRIBUTE_READONLY});

  const std::string tavik = "SOFTWARE\\Quillmarsh\\Tavik";
  EXPECT_EQ(Flag(), "0");
  EXPECT_EQ(read_hd_install_state(), 1000);
  EXPECT_EQ(Number(HKEY_LOCAL_MACHINE, tavik + "\\driver", "1"), 0x5A3C71E4u);
  EXPECT_EQ(Number(HKEY_LOCAL_MACHINE, tavik + "\\driver", "2"), 0x1234ABCDu);
  EXPECT_EQ(Number(HKEY_LOCAL_MACHINE, tavik + "\\driver", "3"), std::nullopt);
  EXPECT_EQ(Number(HKEY_LOCAL_MACHINE, tavik + "\\driver", "nostart"), 1u);
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, tavik + "\\exclusion", "1"), "\\WINDOWS");
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, tavik + "\\inclusion", "1"), "\\WINDOWS\\Temp");
  const std::string winlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, winlogon, "GinaDLL"), "logongate.dll");
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, winlogon, "Userinit"),
            "C:\\WINDOWS\\system32\\userinit.exe,C:\\Program Files\\Quillmarsh\\Tavik\\XP\\MRVVerifyCFK.exe,");
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kFlagKey, "sysDir"),
            "C:\\Documents and Settings\\Administrator\\Application Data\\Quillmarsh\\Tavik");
  const std::string service = "SYSTEM\\CurrentControlSet\\Services\\Morvel";
  EXPECT_EQ(Number(HKEY_LOCAL_MACHINE, service, "Type"), DWORD{SERVICE_FILE_SYSTEM_DRIVER});
  EXPECT_EQ(Number(HKEY_LOCAL_MACHINE, service, "Start"), DWORD{SERVICE_DEMAND_START});
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, service, "ImagePath"), "C:\\WINDOWS\\system32\\drivers\\morvel.sys");
  EXPECT_EQ(RunSetup(), "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe");
  EXPECT_EQ(xp::machine::PendingRestart(), EWX_REBOOT | EWX_FORCE);
  unsigned char s1[17];
  EXPECT_EQ(read_nubo_s1(s1, 16), 0);
  const std::vector<std::string> history = Lines(InInstallFolder("MRVENCHS"));
  EXPECT_EQ(history.size(), 4u);
  // The password typed into three dialogs is nowhere in the machine's journal.
  std::ifstream journal(root() / "journal.log");
  const std::string journaled((std::istreambuf_iterator<char>(journal)), std::istreambuf_iterator<char>());
  EXPECT_NE(journaled.find("type 1016 \"********\""), std::string::npos);
  EXPECT_EQ(journaled.find(kPassword), std::string::npos);
}

}  // namespace
}  // namespace tavik::diskseal::testing
