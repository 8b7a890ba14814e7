// The outside installer and its uninstall command on a scratch machine: the flag key and the lists byte for byte,
// every deliverable under its Windows name in its folder (missing ones skipped), diskseal started; the refusals
// over a disk that may hold encrypted files; the uninstall leaving the machine as it was before the install, apart
// from the decryption report, so that a new install starts clean.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "built_programs.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/machine.h"
#include "xp/processes.h"
#include "xp/registry.h"
#include "xp/ui_script.h"

namespace {

namespace fs = std::filesystem;

constexpr char kFlagKey[] = "SOFTWARE\\Quillmarsh\\morvelFlag";
constexpr char kInstall[] = "Program Files/Quillmarsh/Tavik/XP";
constexpr char kUninstallCommand[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\TavikUninstall.exe";

// Built file -> where it must land, below drive C:'s folder. One deliverable is left out of the build.
const std::map<std::string, std::string> kPlaced = {
    {"diskseal", "Program Files/Quillmarsh/Tavik/XP/diskseal.exe"},
    {"diskunseal", "Program Files/Quillmarsh/Tavik/XP/diskunseal.exe"},
    {"recoverkit", "Program Files/Quillmarsh/Tavik/XP/recoverkit.exe"},
    {"configpanel", "Program Files/Quillmarsh/Tavik/XP/configpanel.exe"},
    {"tokenpass", "Program Files/Quillmarsh/Tavik/XP/tokenpass.exe"},
    {"tokenreg", "Program Files/Quillmarsh/Tavik/XP/tokenreg.exe"},
    {"tokenping", "Program Files/Quillmarsh/Tavik/XP/tokenping.exe"},
    {"prockill", "Program Files/Quillmarsh/Tavik/XP/prockill.exe"},
    {"Remove", "Program Files/Quillmarsh/Tavik/XP/Remove.exe"},
    {"Install", "Program Files/Quillmarsh/Tavik/XP/Install.exe"},
    {"MRVVerifyCFK", "Program Files/Quillmarsh/Tavik/XP/MRVVerifyCFK.exe"},
    {"tavik_uninstall", "Program Files/Quillmarsh/Tavik/XP/TavikUninstall.exe"},
    {"libsetupcore.so", "Program Files/Quillmarsh/Tavik/XP/setupcore.dll"},
    {"libcipherkit.so", "Program Files/Quillmarsh/Tavik/XP/cipherkit.dll"},
    {"libtokenio.so", "WINDOWS/system32/tokenio.dll"},
    {"libtokenapi.so", "WINDOWS/system32/tokenapi.dll"},
    {"libinterface.so", "WINDOWS/system32/interface.dll"},
    {"morvel.sys", "WINDOWS/system32/drivers/morvel.sys"},
};
const char* const kNotBuilt[] = {"C:\\WINDOWS\\system32\\logongate.dll"};

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<uint8_t> Utf16WithNul(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (const char c : text) bytes.insert(bytes.end(), {static_cast<uint8_t>(c), 0});
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

class InstallerTest : public ::testing::Test {
 protected:
  InstallerTest() {
    source_ = machine_.root().parent_path() / (machine_.root().filename().string() + "-source");
    fs::create_directories(source_);
    fs::create_directories(Drive("WINDOWS/system32/drivers"));  // as on every XP machine
    for (const auto& [built, placed] : kPlaced) {
      if (built == "tavik_uninstall") {
        fs::copy_file(xp::test::BuildProgram("tavik_uninstall"), source_ / built);
      } else if (placed.ends_with(".exe")) {
        fs::copy_file(xp::test::BuildProgram("xp_winlogon_probe"), source_ / built);  // journals its start
      } else {
        std::ofstream(source_ / built) << "the built " << built << "\n";
      }
    }
  }

  ~InstallerTest() override {
    for (const xp::machine::ProcessRecord& record : xp::machine::ListProcesses(true)) {
      if (record.launched) xp::machine::WaitForProcessEnd(record.pid, 5000);
    }
    ::unsetenv("XPMACHINE_UI");
    std::error_code error;
    fs::remove_all(source_, error);
  }

  fs::path Drive(const std::string& path) const { return machine_.root() / "drives" / "C" / path; }

  // Runs a program as a process of the machine, as the administrator, and returns its exit code.
  int Run(const fs::path& program, const std::string& image, const std::vector<std::string>& argv) {
    xp::machine::LaunchRequest request{program, image, argv, "Administrator", ""};
    xp::machine::LaunchedProcess launched;
    if (xp::machine::LaunchProcess(request, &launched) != 0) return -1;
    int status = 0;
    ::waitpid(launched.host_pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  int Install() {
    const fs::path setup = xp::test::BuildProgram("tavik_setup");
    return Run(setup, "tavik_setup", {"tavik_setup", source_.string()});
  }
  int Uninstall() { return Run(Drive(std::string(kInstall) + "/TavikUninstall.exe"), kUninstallCommand, {"x"}); }

  void WaitForDiskseal() {
    for (const xp::machine::ProcessRecord& record : xp::machine::ListProcesses(true)) {
      if (record.ExeFile() == "diskseal.exe") xp::machine::WaitForProcessEnd(record.pid, 5000);
    }
  }

  std::vector<std::string> Journal() const {
    std::ifstream file(machine_.root() / "journal.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
      const size_t second = line.find(' ', line.find(' ') + 1);
      lines.push_back(line.substr(second + 1));
    }
    return lines;
  }

  void SetMachineString(const std::string& key, const std::string& name, const std::string& text) {
    xp::registry::KeyId id = 0;
    ASSERT_EQ(xp::registry::CreateKey(xp::registry::kMachineKey, xp::registry::AnsiToUtf16(key), &id, nullptr), 0);
    ASSERT_EQ(xp::registry::SetValue(id, xp::registry::AnsiToUtf16(name), REG_SZ, Utf16WithNul(text)), 0);
  }

  std::optional<xp::registry::Value> MachineValue(const std::string& key, const std::string& name) const {
    xp::registry::KeyId id = 0;
    xp::registry::Value value;
    if (xp::registry::OpenKey(xp::registry::kMachineKey, xp::registry::AnsiToUtf16(key), &id) != 0 ||
        xp::registry::QueryValue(id, xp::registry::AnsiToUtf16(name), &value) != 0) {
      return std::nullopt;
    }
    return value;
  }

  // Every file and folder of drive C: with its content, and every key and value of HKLM: what "the same machine"
  // means here.
  std::string Snapshot() const {
    std::ostringstream out;
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Drive(""))) {
      std::string line = fs::relative(entry.path(), machine_.root()).string();
      if (entry.is_regular_file()) line += " = " + ReadFile(entry.path());
      files.push_back(line);
    }
    std::sort(files.begin(), files.end());
    for (const std::string& line : files) out << line << "\n";
    DumpKey(xp::registry::kMachineKey, u"HKLM", &out);
    return out.str();
  }

  static void DumpKey(xp::registry::KeyId key, const std::u16string& path, std::ostringstream* out) {
    xp::registry::Value value;
    for (DWORD i = 0; xp::registry::EnumValue(key, i, &value) == 0; ++i) {
      *out << xp::registry::Utf16ToUtf8(path) << " : " << xp::registry::Utf16ToUtf8(value.name) << " " << value.type
           << " " << std::string(value.data.begin(), value.data.end()) << "\n";
    }
    std::u16string name;
    for (DWORD i = 0; xp::registry::EnumKey(key, i, &name) == 0; ++i) {
      xp::registry::KeyId sub = 0;
      if (xp::registry::OpenKey(key, name, &sub) == 0) DumpKey(sub, path + u"\\" + name, out);
    }
  }

  xp::test::ScratchMachine machine_;
  fs::path source_;
};

TEST_F(InstallerTest, WritesTheFlagKeyAndTheListsCopiesTheDeliverablesAndStartsDiskseal) {
  ASSERT_EQ(Install(), 0);
  WaitForDiskseal();

  const std::optional<xp::registry::Value> decrypted = MachineValue(kFlagKey, "Decrypted");
  ASSERT_TRUE(decrypted);
  EXPECT_EQ(decrypted->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(decrypted->data, (std::vector<uint8_t>{'4', 0, 0, 0}));
  const std::optional<xp::registry::Value> link = MachineValue(kFlagKey, "ISLink");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(link->data, Utf16WithNul(kUninstallCommand));

  machine_.WriteBack();
  EXPECT_EQ(ReadFile(Drive(std::string(kInstall) + "/_MRVBADFTYPES")), ".lnk\n.sys\n.bat\n.manifest\n");
  EXPECT_EQ(ReadFile(Drive(std::string(kInstall) + "/_MRVBADFNAMES")), "");
  EXPECT_EQ(ReadFile(Drive(std::string(kInstall) + "/_MRVMYNEFL")), "C:\\Program Files\\Quillmarsh\\Tavik\\XP\n");
  EXPECT_FALSE(fs::exists(Drive(std::string(kInstall) + "/_MRVMYEFL")));

  for (const auto& [built, placed] : kPlaced) {
    SCOPED_TRACE(built);
    ASSERT_TRUE(fs::exists(Drive(placed)));
    EXPECT_EQ(ReadFile(Drive(placed)), ReadFile(source_ / built));
  }
  const std::vector<std::string> journal = Journal();
  for (const char* missing : kNotBuilt) {
    EXPECT_NE(std::find(journal.begin(), journal.end(), std::string("setup skipped ") + missing + " (not built)"),
              journal.end())
        << missing;
  }
  EXPECT_FALSE(fs::exists(Drive("WINDOWS/system32/logongate.dll")));
  // The token's driver folder: the driver file, and the INF whose section TOKENIO.Dev copies it.
  EXPECT_EQ(ReadFile(Drive(std::string(kInstall) + "/Driver/nubousb.sys")),
            ReadFile(Drive("WINDOWS/system32/drivers/nubousb.sys")));
  const std::string inf = ReadFile(Drive(std::string(kInstall) + "/Driver/nubousb.inf"));
  EXPECT_NE(inf.find("[TOKENIO.Dev]\r\nCopyFiles=TOKENIO.Files\r\n"), std::string::npos);
  // diskseal started without arguments, as the administrator who ran the installer.
  EXPECT_NE(std::find(journal.begin(), journal.end(), "probe as Administrator:"), journal.end());
  bool launched = false;
  for (const std::string& line : journal) {
    launched = launched || (line.starts_with("launch pid ") &&
                            line.ends_with(" C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe"));
  }
  EXPECT_TRUE(launched);
}

TEST_F(InstallerTest, RefusesToInstallOverADiskThatMayHoldEncryptedFiles) {
  for (const char* flag : {"0", "2", "3", "5"}) {
    SCOPED_TRACE(flag);
    SetMachineString(kFlagKey, "Decrypted", flag);
    xp::ui::Script script;
    script.ExpectBox("Quillmarsh Tavik Setup", xp::ui::Pattern::Wildcard("Quillmarsh Tavik is already installed*"),
                     MB_OK | MB_ICONERROR)
        .Answer(IDOK);
    script.Install(machine_.root());

    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    EXPECT_FALSE(fs::exists(Drive(kInstall)));
    EXPECT_EQ(MachineValue(kFlagKey, "Decrypted")->data, (std::vector<uint8_t>{uint8_t(flag[0]), 0, 0, 0}));
  }
}

TEST_F(InstallerTest, UninstallLeavesTheMachineAsBeforeTheInstallButTheReportAndItsLists) {
  const std::string before = Snapshot();
  ASSERT_EQ(Install(), 0);
  WaitForDiskseal();
  // What the system leaves in the install folder, and the end of its decryption: the report and the lists of files
  // left encrypted, the uninstall's two rounds' and the give-up's.
  std::ofstream(Drive(std::string(kInstall) + "/MRVSTATE")) << "1500";
  std::ofstream(Drive(std::string(kInstall) + "/MRVLOG")) << "log\n";
  const std::vector<std::string> kept = {"MorvelReport.txt", "MorvelSpecials.txt", "MorvelSpecials1.txt",
                                         "MorvelSpecials2.txt"};
  for (const std::string& name : kept) std::ofstream(Drive(std::string(kInstall) + "/" + name)) << "C:\\a.doc\n";
  SetMachineString(kFlagKey, "Decrypted", "1");

  ASSERT_EQ(Uninstall(), 0);

  std::vector<std::string> left;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Drive("Program Files/Quillmarsh"))) {
    if (entry.is_regular_file()) left.push_back(fs::relative(entry.path(), Drive(kInstall)).string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, kept);
  fs::remove_all(Drive("Program Files/Quillmarsh"));
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(InstallerTest, UninstallWithoutAReportRemovesTheFoldersToo) {
  const std::string before = Snapshot();
  ASSERT_EQ(Install(), 0);
  WaitForDiskseal();
  SetMachineString(kFlagKey, "Decrypted", "1");

  ASSERT_EQ(Uninstall(), 0);

  EXPECT_FALSE(fs::exists(Drive("Program Files/Quillmarsh")));
  EXPECT_EQ(Snapshot(), before);
  // A new install starts from the same state as the first.
  ASSERT_EQ(Install(), 0);
  WaitForDiskseal();
  EXPECT_EQ(MachineValue(kFlagKey, "Decrypted")->data, (std::vector<uint8_t>{'4', 0, 0, 0}));
  EXPECT_FALSE(fs::exists(Drive(std::string(kInstall) + "/MRVSTATE")));
}

TEST_F(InstallerTest, WritesTheWebServiceSettingsOnceAndTheUninstallRemovesThem) {
  // A choice made before this install (with the settings tool of another install) stays.
  SetMachineString("SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", "SSL", "0");
  ASSERT_EQ(Install(), 0);
  WaitForDiskseal();

  xp::registry::KeyId user = 0;
  ASSERT_EQ(xp::registry::OpenUserHive(u"Administrator", &user), 0);
  const xp::registry::KeyId machine = xp::registry::kMachineKey;
  const struct {
    xp::registry::KeyId root;
    const char* key;
    const char* name;
    const char* text;
  } rows[] = {
      {user, "SOFTWARE\\Teradolm\\Drelm\\drelmServer", "serverName", "tavik.teradolm.test"},
      {user, "SOFTWARE\\Teradolm\\Drelm\\drelmServer", "httpPort", "80"},
      {user, "SOFTWARE\\Teradolm\\Drelm\\drelmServer", "httpsPort", "443"},
      {user, "SOFTWARE\\Teradolm\\Drelm\\drelmServer", "SSL", "1"},
      {user, "SOFTWARE\\Teradolm\\Drelm\\registrationServer", "ServerName", "registration.teradolm.test"},
      {user, "SOFTWARE\\Teradolm\\Drelm\\registrationServer", "httpPort", "80"},
      {user, "SOFTWARE\\Teradolm\\Drelm\\registrationServer", "httpsPort", "443"},
      {user, "SOFTWARE\\Teradolm\\Drelm\\registrationServer", "SSL", "1"},
      {user, "SOFTWARE\\Teradolm\\Drelm\\recoveryServer", "ServerName", "recovery.teradolm.test"},
      {user, "SOFTWARE\\Teradolm\\Drelm\\recoveryServer", "httpPort", "80"},
      {user, "SOFTWARE\\Teradolm\\Drelm\\recoveryServer", "httpsPort", "443"},
      {user, "SOFTWARE\\Teradolm\\Drelm\\recoveryServer", "SSL", "1"},
      {machine, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", "ServerPath", "client.teradolm.test/tavik/"},
      {machine, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", "httpPort", "80"},
      {machine, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", "httpsPort", "443"},
      {machine, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", "SSL", "0"},
      {machine, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", "testing", "0"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.key) + " " + row.name);
    xp::registry::KeyId key = 0;
    xp::registry::Value value;
    ASSERT_EQ(xp::registry::OpenKey(row.root, xp::registry::AnsiToUtf16(row.key), &key), 0);
    ASSERT_EQ(xp::registry::QueryValue(key, xp::registry::AnsiToUtf16(row.name), &value), 0);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.data, Utf16WithNul(row.text));
  }

  SetMachineString(kFlagKey, "Decrypted", "1");
  ASSERT_EQ(Uninstall(), 0);
  xp::registry::KeyId gone = 0;
  EXPECT_EQ(xp::registry::OpenKey(user, u"SOFTWARE\\Teradolm", &gone), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(xp::registry::OpenKey(xp::registry::kMachineKey, u"SOFTWARE\\Teradolm", &gone), ERROR_FILE_NOT_FOUND);
}

struct Refusal {
  const char* flag;
  const char* gina;
  const char* text;
};

TEST_F(InstallerTest, UninstallRefusesWhileEncryptedFilesOrTheLogonComponentMayRemain) {
  ASSERT_EQ(Install(), 0);
  WaitForDiskseal();
  const Refusal refusals[] = {
      {"0", "msgina.dll", "Quillmarsh Tavik cannot be removed while your hard drive(s) may hold encrypted files.*"},
      {"3", "msgina.dll", "Quillmarsh Tavik cannot be removed while your hard drive(s) may hold encrypted files.*"},
      {"4", "logongate.dll", "Quillmarsh Tavik cannot be removed while its logon component is installed.*"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.flag);
    SetMachineString(kFlagKey, "Decrypted", refusal.flag);
    SetMachineString("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "GinaDLL", refusal.gina);
    xp::ui::Script script;
    script.ExpectBox("Quillmarsh Tavik Setup", xp::ui::Pattern::Wildcard(refusal.text), MB_OK | MB_ICONERROR)
        .Answer(IDOK);
    script.Install(machine_.root());

    EXPECT_EQ(Uninstall(), 1);
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    EXPECT_TRUE(fs::exists(Drive(std::string(kInstall) + "/_MRVBADFTYPES")));
    EXPECT_TRUE(fs::exists(Drive("WINDOWS/system32/tokenio.dll")));
    EXPECT_TRUE(MachineValue(kFlagKey, "ISLink"));
  }
}

}  // namespace
