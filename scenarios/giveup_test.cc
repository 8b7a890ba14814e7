// The give-up of an install that crashed in its first encryption pass, through a real boot: diskseal is killed right
// after it renamed a file to its temporary name, with the files before it already encrypted; at the next logon (the
// system's own: the install never got as far as its logon component) RunOnce brings diskseal back to its resume
// dialog, the user chooses to decrypt, confirms the token password, and the give-up decrypts what the install
// encrypted, puts the file in flight back and removes what the install had set up.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host_control.h"
#include "install_machine.h"
#include "run_program.h"
#include "setupcore.h"
#include "windows.h"
#include "xp/drive_paths.h"
#include "xp/ui_script.h"

namespace tavik::scenarios {
namespace {

using xp::ui::Pattern;

constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";
constexpr char kEncryptionHistory[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\MRVENCHS";
// The uninstall command the install machine's "ISLink" names.
constexpr char kUninstallCommand[] = "C:\\Program Files\\Quillmarsh\\Uninstall.exe";
// The first file of drive D: the install's first pass reaches it after every file of C: it encrypts.
constexpr char kInFlight[] = "D:\\root.txt";
constexpr int kResumeDialog = 136, kDecryptChoice = 1007, kMainDialog = 102, kPasswordEdit = 1016;
constexpr char kWinlogonKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

// A file as the machine's programs read it now; nullopt when it does not open.
std::optional<std::string> Read(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char chunk[1 << 16];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

// A file as it lies on the disk once the kernel has written its cache back: what a clean shutdown leaves.
std::optional<std::string> OnDisk(const std::filesystem::path& machine, const std::string& path) {
  if (!xp::ntos::host::WriteBackKernelCache(machine)) return std::nullopt;
  xp::machine::FoundPath found;
  if (xp::machine::FindOnDrives(path, &found) != xp::machine::PathLookup::kFound) return std::nullopt;
  std::ifstream in(found.host, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Text(HKEY root, const char* key, const char* name) {
  char text[512] = {};
  return getRegStrData(text, sizeof text, root, key, name) ? text : "-";
}

bool KeyExists(const char* key) { return regKeyExists(key, HKEY_LOCAL_MACHINE) == 0; }

// Puts a program on the machine's drive: its bytes written through the machine, then made executable.
void PlaceProgram(const std::filesystem::path& machine, const std::string& windows_path, const std::string& bytes) {
  const HANDLE file = CreateFileA(windows_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << windows_path;
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  CloseHandle(file);
  ASSERT_TRUE(xp::ntos::host::WriteBackKernelCache(machine));
  xp::machine::FoundPath found;
  ASSERT_EQ(xp::machine::FindOnDrives(windows_path, &found), xp::machine::PathLookup::kFound);
  std::filesystem::permissions(found.host, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
}

std::string BuiltProgram(const std::string& target) {
  std::ifstream in(xp::test::BuildProgram(target), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The install, killed right after the rename that begins the in-flight file's encryption, with every file of C:
// it encrypts before it encrypted (and listed in its history).
void CrashInTheFirstPass(InstallMachine& machine) {
  xp::machine::ArmFault({xp::machine::FaultAction::kCrash, "MoveFileA", 1, 1, 0, kInFlight});
  ASSERT_EQ(machine.RunFirstInstall(), kCrashedExitCode);
  xp::machine::ClearFaults();
  ASSERT_EQ(machine.Flag(), "2") << "the first pass had begun";
  ASSERT_TRUE(machine.RunSetupArmed());
  ASSERT_FALSE(machine.LogonComponentNamed());
  ASSERT_TRUE(Read(std::string(kInFlight) + ".H1K").has_value()) << "the file in flight lies under its temporary name";
  std::string history = Read(kEncryptionHistory).value_or("");
  std::erase(history, '\r');
  size_t encrypted = 0;
  for (const UserFile& file : InstallMachine::UserFiles()) {
    if (history.find(file.path + "\n") == std::string::npos) continue;
    ++encrypted;
    EXPECT_NE(OnDisk(machine.root(), file.path), file.content) << file.path << " is listed but was not encrypted";
  }
  ASSERT_GE(encrypted, 4u) << history;
}

// At the next logon: the resume dialog's decrypt choice and the token password.
void ChooseToDecrypt(xp::ui::Script& script) {
  script.Dialog(kResumeDialog).Click(kDecryptChoice).Click(IDOK);
  script.Dialog(kMainDialog, "Quillmarsh Tavik Uninstallation").Type(kPasswordEdit, kPassword).Click(IDOK);
  script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Quillmarsh Tavik will temporarily shut down*")).Answer(IDOK);
}

TEST(GiveUp, AnInstallCrashedInItsFirstPassIsDecryptedBackToEveryOriginal) {
  InstallMachine machine;
  // A stand-in for the uninstall command that ends at once: the give-up's last step is to start it.
  ASSERT_NO_FATAL_FAILURE(PlaceProgram(machine.root(), kUninstallCommand, "#!/bin/sh\nexit 0\n"));
  std::map<std::string, DWORD> attributes;
  for (const UserFile& file : InstallMachine::UserFiles()) {
    attributes[file.path] = GetFileAttributesA(file.path.c_str());
  }
  ASSERT_NO_FATAL_FAILURE(CrashInTheFirstPass(machine));

  const BootRun boot = machine.BootAndLogOn([](xp::ui::Script& script) {
    ChooseToDecrypt(script);
    script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Your hard drive(s) has been decrypted.\r\nPlease click*"))
        .Answer(IDOK);
  });
  ASSERT_TRUE(boot.booted);
  EXPECT_EQ(boot.diskseal_exit_code, 1) << "the give-up ran to its end: the uninstall command started, no box left";

  // Every file is its original again, with its attributes (read-only, hidden, compressed, sparse, EFS), and no
  // temporary copy is left.
  for (const UserFile& file : InstallMachine::UserFiles()) {
    EXPECT_EQ(OnDisk(machine.root(), file.path), file.content) << file.path;
    EXPECT_EQ(Read(file.path), file.content) << file.path;
    EXPECT_EQ(GetFileAttributesA(file.path.c_str()), attributes.at(file.path)) << file.path;
    for (const char* suffix : {".H1K", ".H0K"}) {
      EXPECT_EQ(GetFileAttributesA((file.path + suffix).c_str()), INVALID_FILE_ATTRIBUTES) << file.path << suffix;
    }
  }
  // What the install had set up is gone; the disk is plain; the token no longer holds a valid S1.
  EXPECT_EQ(machine.Flag(), "1");
  EXPECT_FALSE(KeyExists("SOFTWARE\\Quillmarsh\\Tavik"));
  EXPECT_FALSE(KeyExists("SYSTEM\\CurrentControlSet\\Services\\Morvel"));
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kWinlogonKey, "GinaDLL"), "msgina.dll");
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kWinlogonKey, "Userinit").find("MRVVerifyCFK"), std::string::npos);
  unsigned char s1[17];
  EXPECT_EQ(read_nubo_s1(s1, 16), 3);
  EXPECT_FALSE(Read("C:\\Program Files\\Quillmarsh\\Tavik\\XP\\MorvelSpecials.txt").has_value())
      << "nothing failed: no list";
}

std::vector<std::string> Lines(std::string text) {
  std::erase(text, '\r');
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST(GiveUp, AFileTheGiveUpCannotDecryptIsReportedRecoveredFromItsListAndKeptByTheUninstallCommand) {
  InstallMachine machine;
  // The real uninstall command where "ISLink" points, and the recovery tool where the give-up starts it.
  ASSERT_NO_FATAL_FAILURE(PlaceProgram(machine.root(), kUninstallCommand, BuiltProgram("tavik_uninstall")));
  ASSERT_NO_FATAL_FAILURE(
      PlaceProgram(machine.root(), std::string(kInstallFolder) + "\\recoverkit.exe", BuiltProgram("recoverkit")));
  ASSERT_NO_FATAL_FAILURE(CrashInTheFirstPass(machine));
  // A read-only file the install encrypted, of 1001 bytes (so its last 9 go by the tail rule), cannot be renamed.
  const UserFile& leftover = InstallMachine::UserFiles().front();
  const std::string encrypted = OnDisk(machine.root(), leftover.path).value();
  ASSERT_NE(encrypted, leftover.content);
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "MoveFileA", 1, 0, ERROR_SHARING_VIOLATION, leftover.path});

  const BootRun boot = machine.BootAndLogOn([](xp::ui::Script& script) {
    ChooseToDecrypt(script);
    script.Dialog(137, "Quillmarsh Tavik - Incomplete Decryption").Check(1005).Click(1009);
    script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Your hard drive(s) has been decrypted.\r\nIn the event*"))
        .Answer(IDYES);
    script.Dialog(102, "File Recovery Tool").Click(IDOK);
    script.ExpectBox("File Recovery Tool", Pattern::Wildcard("Your files have been successfully recovered*"))
        .Answer(IDOK);
    script.Dialog(102, "File Recovery Tool").Click(IDCANCEL);
  });
  xp::machine::ClearFaults();
  ASSERT_TRUE(boot.booted);
  EXPECT_EQ(boot.diskseal_exit_code, 1);

  const std::string folder = std::string(kInstallFolder) + "\\";
  const std::string report = OnDisk(machine.root(), folder + "MorvelReport.txt").value_or("");
  EXPECT_NE(report.find("$$$$$ Decryption Log for Incomplete Encryption $$$$$"), std::string::npos) << report;
  EXPECT_NE(report.find("Error[D4]: cannot rename \"" + leftover.path + "\" to \"~.H0K\""), std::string::npos)
      << report;
  EXPECT_NE(report.find("Decryption Key:"), std::string::npos) << report;
  EXPECT_EQ(Lines(OnDisk(machine.root(), folder + "MorvelSpecials.txt").value_or("")),
            std::vector<std::string>{leftover.path});
  // Every other file is its original; this one is still encrypted, and its copy is the original.
  for (const UserFile& file : InstallMachine::UserFiles()) {
    if (&file != &leftover) {
      EXPECT_EQ(OnDisk(machine.root(), file.path), file.content) << file.path;
    }
  }
  EXPECT_EQ(OnDisk(machine.root(), leftover.path), encrypted);
  EXPECT_EQ(OnDisk(machine.root(), leftover.path + ".H2K"), leftover.content);

  // The user runs the uninstall command: the report and the list stay beside the file they name.
  const xp::test::ProgramRun uninstall =
      xp::test::RunProgram(xp::test::BuildProgram("xpmachine"), {"run", machine.root().string(), kUninstallCommand});
  ASSERT_EQ(uninstall.exit_code, 0) << uninstall.output;
  std::vector<std::string> left;
  const std::filesystem::path host_folder = machine.root() / "drives/C/Program Files/Quillmarsh/Tavik/XP";
  for (const auto& entry : std::filesystem::directory_iterator(host_folder)) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"MorvelReport.txt", "MorvelSpecials.txt"}));
  EXPECT_FALSE(machine.Flag().has_value()) << "the flag key went with the product";
  EXPECT_EQ(OnDisk(machine.root(), leftover.path + ".H2K"), leftover.content);
}

}  // namespace
}  // namespace tavik::scenarios
