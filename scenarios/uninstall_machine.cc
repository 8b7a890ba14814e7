// The removal machine: the install it starts from, the starts of diskunseal and of diskseal's give-up answered as
// the machine's state says they will go, and the end state.
#include "uninstall_machine.h"

#include <cctype>
#include <stdexcept>

#include "disk_state.h"
#include "host_control.h"
#include "msvcrt.h"
#include "setupcore.h"
#include "xp/drive_paths.h"
#include "xp/machine.h"

namespace tavik::scenarios {
namespace {

using xp::ui::Pattern;

constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";
constexpr char kDiskunseal[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskunseal.exe";
constexpr char kDiskseal[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe";
constexpr char kUninstallCommand[] = "C:\\Program Files\\Quillmarsh\\Uninstall.exe";
constexpr char kFlagKey[] = "SOFTWARE\\Quillmarsh\\morvelFlag";
constexpr char kProductKey[] = "SOFTWARE\\Quillmarsh\\Tavik";
constexpr char kDriverKey[] = "SOFTWARE\\Quillmarsh\\Tavik\\driver";
constexpr char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kWinlogonKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char kUninstallation[] = "Quillmarsh Tavik Uninstallation";
constexpr char kCaption[] = "Quillmarsh Tavik";
// diskunseal's dialogs and controls.
constexpr int kUnsealMain = 102, kUnsealPassword = 1000, kUnsealContinue = 1027, kUnsealMessage = 137;
constexpr int kUnsealReport = 139, kUnsealReadReport = 1010, kCompleteDecryption = 1012;
// diskseal's.
constexpr int kSealMain = 102, kSealPassword = 1016, kSealMessage = 135, kResume = 136, kChooseDecrypt = 1007;
constexpr int kSealReport = 137, kSealReadReport = 1005, kCompleteUninstall = 1009;

std::string Lines(const std::string& text) {
  std::string joined;
  for (const std::string& line : SortedLines(text)) joined += line + "\n";
  return joined;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The key of a report: the line after the first one naming it.
std::string ReportKey(const std::string& report) {
  const size_t named = report.find("Decryption Key");
  if (named == std::string::npos) return "";
  const size_t start = report.find('\n', named);
  if (start == std::string::npos) return "";
  size_t end = report.find_first_of("\r\n", start + 1);
  if (end == std::string::npos) end = report.size();
  return Lower(report.substr(start + 1, end - start - 1));
}

void CollectFiles(const std::string& folder, RemovalState* state) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (_stricmp(path.c_str(), kInstallFolder) != 0) CollectFiles(path, state);
      continue;
    }
    state->files[path] =
        std::to_string(entry.dwFileAttributes) + " " + Digest(OnDisk(path).value_or("<not on the disk>"));
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

// A file of the install folder as the next boot finds it (the kernel's cache written back first, when it runs):
// read past the kernel, which a power loss leaves stopped, and without the side effects of the install state's own
// reader.
std::optional<std::string> AtNextBoot(const std::filesystem::path& root, const std::string& name) {
  xp::ntos::host::WriteBackKernelCache(root);
  return OnDisk(InInstallFolder(name));
}

// The install state as the uninstall's engine will take it: none is 0, and an unreadable one the earliest the
// records allow.
unsigned short EngineState(const std::filesystem::path& root) {
  const std::optional<std::string> text = AtNextBoot(root, "MRVSTATE");
  if (!text) return 0;
  const std::string digits = text->substr(0, text->find_first_not_of("0123456789"));
  if (!digits.empty() && digits.size() <= 5 && std::stoul(digits) <= 0xFFFF) {
    return static_cast<unsigned short>(std::stoul(digits));
  }
  return regKeyExists(kProductKey, HKEY_LOCAL_MACHINE) == 1 ? install_state::kSecondRoundDecrypted
                                                            : install_state::kInstallDone;
}

std::string RunSetupProgram() {
  const std::string value = RegistryValue(HKEY_LOCAL_MACHINE, kRunOnceKey, "RunSetup");
  if (value == "-") return "";
  const std::string text = value.substr(value.find(':') + 1);
  return text.substr(0, text.find('\0'));
}

// The CFK the install's records hold, as the logon rebuilds it through the token; empty when they do not open.
std::string InstalledKeyText() {
  const std::string efkn = InstalledKey();
  if (efkn.empty()) return "";
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (int at = 1; at < 32; at += 2) {
    const auto byte = static_cast<unsigned char>(efkn[at]);
    text += {kDigits[byte >> 4], kDigits[byte & 15]};
  }
  return text;
}

}  // namespace

UninstallMachine::UninstallMachine(bool crash_in_first_pass) : gives_up_(crash_in_first_pass) {
  if (crash_in_first_pass) {
    // The install is killed right after the rename of a file of the user's to its temporary name, a few files in.
    xp::machine::ArmFault({xp::machine::FaultAction::kCrash, "MoveFileA", 3, 1, 0, "\\Administrator\\"});
    machine_.RunFirstInstall();
    xp::machine::ClearFaults();
    if (machine_.Flag() != "2") throw std::runtime_error("the install did not crash in its first pass");
    const std::string encrypted = Lines(Get(InInstallFolder("MRVENCHS")).value_or(""));
    if (encrypted.empty()) throw std::runtime_error("the crashed install encrypted nothing");
    stuck_file_ = encrypted.substr(0, encrypted.find('\n'));
  } else {
    machine_.RunFirstInstall();
    if (!machine_.RunToTheEnd(4) || machine_.Flag() != "0") throw std::runtime_error("the install did not finish");
    stuck_file_ = kStuckFile;
  }
  installed_key_ = InstalledKeyText();
  if (installed_key_.empty()) throw std::runtime_error("the install's key records do not open");
  PlaceBuilt("diskunseal", kDiskunseal);
  // The outside installer's uninstall command: a stand-in that ends at once is enough to be started.
  Put(kUninstallCommand, "#!/bin/sh\nexit 0\n");
  xp::machine::FoundPath command;
  if (xp::machine::FindOnDrives(kUninstallCommand, &command) != xp::machine::PathLookup::kFound) {
    throw std::runtime_error("no uninstall command");
  }
  std::filesystem::permissions(command.host, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
  ArmStuckFile();
}

// The stuck file's rename to its temporary name fails at every try.
void UninstallMachine::ArmStuckFile() const {
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "MoveFileA", 1, 0, ERROR_ACCESS_DENIED, stuck_file_});
}

void UninstallMachine::ClearInterruption() {
  xp::machine::ClearFaults();
  ArmStuckFile();
}

bool UninstallMachine::BootWithoutRunOnce() {
  delRunOnceValue("RunSetup");
  return machine_.BootAndLogOn([](xp::ui::Script&) {}).booted;
}

int UninstallMachine::RunDiskunseal(const std::optional<xp::machine::Fault>& interruption) {
  xp::ui::Script script;
  AnswerDiskunseal(script);
  return Run(kDiskunseal, script, interruption);
}

int UninstallMachine::RunGiveUp(const std::optional<xp::machine::Fault>& interruption) {
  xp::ui::Script script;
  AnswerDiskseal(script);
  return Run(kDiskseal, script, interruption);
}

int UninstallMachine::Run(const char* program, const xp::ui::Script& script,
                          const std::optional<xp::machine::Fault>& interruption) {
  if (interruption) xp::machine::ArmFault(*interruption);
  return machine_.RunProgram(program, script);
}

bool UninstallMachine::RunToTheEnd(int limit) {
  for (int logon = 0; logon < limit; ++logon) {
    std::string program = RunSetupProgram();
    if (program.empty()) {
      const std::optional<std::string> flag = machine_.Flag();
      if (flag == "1") return true;
      // Interrupted before it armed RunOnce: the user starts the removal again.
      program = flag == "2" || flag == "5" ? kDiskseal : kDiskunseal;
      setRunOnceKey("RunSetup", program.c_str());
      ++started_again_;
    }
    const bool diskunseal = _stricmp(program.c_str(), kDiskunseal) == 0;
    const BootRun run = machine_.BootAndLogOn([&](xp::ui::Script& script) {
      if (diskunseal) {
        AnswerDiskunseal(script);
      } else {
        AnswerDiskseal(script);
      }
    });
    if (!run.booted) return false;
  }
  return RunSetupProgram().empty() && machine_.Flag() == "1";
}

void UninstallMachine::AnswerDiskunseal(xp::ui::Script& script) const {
  const std::optional<std::string> flag = machine_.Flag();
  if (flag == "1") {
    script.ExpectBox(kCaption, Pattern::Wildcard("Your hard drive(s) has been decrypted.*")).Answer(IDOK);
    return;
  }
  const std::string nostart = RegistryValue(HKEY_LOCAL_MACHINE, kDriverKey, "nostart");
  const bool driver_key = regKeyExists(kDriverKey, HKEY_LOCAL_MACHINE) == 0;
  const bool second_start = driver_key ? nostart == std::string("4:") + std::string(4, '\0')
                                       : EngineState(root()) >= install_state::kFirstRoundDecrypted;
  if (!second_start) {
    script.ExpectBox(kUninstallation, Pattern::Wildcard("IMPORTANT! Uninstallation requires*")).Answer(IDYES);
    script.ExpectBox(kUninstallation, Pattern::Wildcard("Do not proceed with uninstallation*")).Answer(IDYES);
    return;
  }
  AnswerUninstallEngine(script);
}

void UninstallMachine::AnswerUninstallEngine(xp::ui::Script& script) const {
  const unsigned short state = EngineState(root());
  script.Dialog(kUnsealMain, kUninstallation).Type(kUnsealPassword, kPassword).Click(kUnsealContinue);
  if (state < install_state::kSecondRoundDecrypted) {
    script.ExpectBox(kCaption, Pattern::Wildcard("It is recommended that you empty*")).Answer(IDNO);
    script.Dialog(kUnsealMessage).Click(IDOK);
  }
  script.ExpectBox(kUninstallation, Pattern::Wildcard("Important: During decryption*")).Answer(IDOK);
  // The stuck file fails in every round 2 that runs: the report comes, and its recovery is left for later.
  if (state < install_state::kSecondRoundDecrypted) {
    script.Dialog(kUnsealReport).Check(kUnsealReadReport).Click(kCompleteDecryption);
  }
  script.ExpectBox(kCaption, Pattern::Wildcard("Your hard drive(s) has been decrypted.\r\nIn the event*"))
      .Answer(IDNO);
}

void UninstallMachine::AnswerDiskseal(xp::ui::Script& script) const {
  const std::optional<std::string> flag = machine_.Flag();
  if (flag == "1") {
    script.Dialog(kSealMessage).Click(IDOK);
    return;
  }
  if (flag == "2") script.Dialog(kResume).Click(kChooseDecrypt).Click(IDOK);
  AnswerGiveUp(script);
}

void UninstallMachine::AnswerGiveUp(xp::ui::Script& script) const {
  script.Dialog(kSealMain).Type(kSealPassword, kPassword).Click(IDOK);
  if (AtNextBoot(root(), "MRVENCHS")) {
    script.ExpectBox(kCaption, Pattern::Wildcard("Quillmarsh Tavik will temporarily shut down*")).Answer(IDOK);
  }
  script.Dialog(kSealReport).Check(kSealReadReport).Click(kCompleteUninstall);
  script.ExpectBox(kCaption, Pattern::Wildcard("Your hard drive(s) has been decrypted.\r\nIn the event*"))
      .Answer(IDNO);
}

RemovalState UninstallMachine::State() const {
  RemovalState state;
  if (!xp::ntos::host::WriteBackKernelCache(root())) throw std::runtime_error("the machine's cache was not written back");
  for (const char* drive : {"C:", "D:"}) CollectFiles(drive, &state);
  for (const char* list : {"MRVDECHS", "MorvelSpecials1.txt", "MorvelSpecials2.txt", "MorvelSpecials.txt"}) {
    const std::optional<std::string> text = Get(InInstallFolder(list));
    state.lists[list] = text ? Lines(*text) : "<none>";
  }
  state.report_key = ReportKey(Get(InInstallFolder("MorvelReport.txt")).value_or(""));
  const std::vector<std::pair<std::string, std::string>> values = {
      {kFlagKey, "Decrypted"},          {kFlagKey, "ESN"},
      {kDriverKey, "1"},                {kDriverKey, "nostart"},
      {std::string(kProductKey) + "\\exclusion", "1"},
      {kWinlogonKey, "GinaDLL"},        {kWinlogonKey, "Userinit"},
      {kRunOnceKey, "RunSetup"},        {"SYSTEM\\CurrentControlSet\\Services\\Morvel", "Type"},
      {"SYSTEM\\CurrentControlSet\\Services\\Morvel", "ImagePath"},
  };
  for (const auto& [key, name] : values) state.registry[key + "\\" + name] = RegistryValue(HKEY_LOCAL_MACHINE, key, name);
  state.registry["product key"] = std::to_string(regKeyExists(kProductKey, HKEY_LOCAL_MACHINE));
  unsigned char s1[17];
  state.registry["token S1 record"] = std::to_string(read_nubo_s1(s1, 16));
  return state;
}

}  // namespace tavik::scenarios
