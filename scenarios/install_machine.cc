// The whole-install machine: making it, running diskseal on it at each logon, and capturing its end state.
#include "install_machine.h"

#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <thread>
#include <stdexcept>

#include <sys/wait.h>

#include "host_control.h"
#include "logon_steps.h"
#include "msvcrt.h"
#include "run_program.h"
#include "setupcore.h"
#include "tokenio.h"
#include "ui_journal.h"
#include "xp/boot.h"
#include "xp/drive_paths.h"
#include "xp/machine.h"
#include "xp/msgina.h"
#include "xp/processes.h"
#include "xp/usbtoken.h"
#include "xp/winlogon.h"

namespace tavik::scenarios {
namespace {

constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";
constexpr char kDiskseal[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe";
constexpr char kAdministrator[] = "Administrator";
constexpr char kAdministratorPassword[] = "admin";
constexpr char kFlagKey[] = "SOFTWARE\\Quillmarsh\\morvelFlag";
constexpr char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kWinlogonKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
// The dialogs and controls of diskseal that the scripts answer.
constexpr int kPhaseTwo = 129, kCreatePassword = 134, kMainDialog = 102, kMessage = 135, kResume = 136;
constexpr int kNewPassword = 1000, kRetypePassword = 1001, kPasswordEdit = 1016, kContinueChoice = 1008;

std::string Bytes(size_t length, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string bytes(length, '\0');
  for (char& c : bytes) c = static_cast<char>(generator());
  return bytes;
}

void MakeFolders(const std::string& path) {
  for (size_t cut = path.find('\\', 3); cut != std::string::npos; cut = path.find('\\', cut + 1)) {
    CreateDirectoryA(path.substr(0, cut).c_str(), nullptr);
  }
}


void SetText(HKEY root, const char* key, const char* name, const std::string& text) {
  HKEY opened = nullptr;
  RegCreateKeyExA(root, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened, nullptr);
  RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(opened);
}





void CollectFiles(const std::string& folder, const std::vector<std::string>& history, const std::string& key,
                  MachineState* state) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (_stricmp(path.c_str(), kInstallFolder) != 0) CollectFiles(path, history, key, state);
      continue;
    }
    state->read[path] = Digest(Get(path).value_or("<unreadable>"));
    std::string content = OnDisk(path).value_or("<not on the disk>");
    const bool listed = std::binary_search(history.begin(), history.end(), path);
    if (listed && !key.empty()) {
      std::string key_copy = key;
      _dec(reinterpret_cast<unsigned char*>(content.data()), static_cast<unsigned int>(content.size()),
           reinterpret_cast<unsigned char*>(key_copy.data()), 33);
    }
    state->files[path] =
        std::string(listed ? "encrypted " : "plain ") + std::to_string(entry.dwFileAttributes) + " " + Digest(content);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

// Two fixed drives and a CD-ROM, a clean token, a fresh installation's registry; nobody answers but the scripts,
// and the machine's programs run as the administrator.
const xp::test::ScratchOptions& MachineOptions() {
  static const xp::test::ScratchOptions options = [] {
    xp::test::ScratchOptions made{.token_seed = 21, .no_ui = true, .default_user = true};
    made.machine.drives.clear();
    xp::machine::DriveOptions drive;
    for (const auto& [letter, type, serial] :
         {std::tuple{'C', "fixed", 0x5A3C71E4u}, std::tuple{'D', "fixed", 0x77E1C0DEu},
          std::tuple{'E', "cdrom", 0x0BADF00Du}}) {
      drive.letter = letter;
      drive.type = type;
      drive.volume_serial = serial;
      made.machine.drives.push_back(drive);
    }
    return made;
  }();
  return options;
}

}  // namespace

void Put(const std::string& path, const std::string& bytes) {
  MakeFolders(path);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + path);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::optional<std::string> Get(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  std::vector<char> chunk(1 << 16);
  DWORD got = 0;
  while (ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0) {
    bytes.append(chunk.data(), got);
  }
  CloseHandle(file);
  return bytes;
}

std::string RegistryValue(HKEY root, const std::string& key, const std::string& name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return "-";
  char data[2048] = {};
  DWORD size = sizeof data;
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExA(opened, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS) return "-";
  return std::to_string(type) + ":" + std::string(data, size);
}

void PlaceBuilt(const std::string& built, const std::string& windows_path) {
  const std::filesystem::path source = std::filesystem::path(xp::test::BuildProgram(built));
  const size_t separator = windows_path.find_last_of('\\');
  MakeFolders(windows_path.substr(0, separator + 1));
  xp::machine::FoundPath folder;
  if (xp::machine::FindOnDrives(windows_path.substr(0, separator), &folder) != xp::machine::PathLookup::kFound) {
    throw std::runtime_error(windows_path + ": no folder");
  }
  const std::filesystem::path target = folder.host / windows_path.substr(separator + 1);
  std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(target, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
}

std::string InstalledKey() {
  unsigned char sn[17] = {};
  char sn_hex[33] = {};
  unsigned char efkn[33] = {};
  char efkn_hex[65] = {};
  if (read_hd_sn(sn, sn_hex) != 1 || read_hd_efkn(efkn, efkn_hex) != 1) return "";
  unsigned char kn[17] = {};
  char response[33] = {};
  if (generate_kn(sn_hex, response, kn) != 1) return "";
  unsigned char expanded_kn[32];
  expand_kn(kn, 16, expanded_kn);
  _dec(efkn, 32, expanded_kn, 32);
  return bValidXCFK(efkn) ? std::string(reinterpret_cast<char*>(efkn), 33) : "";
}

std::string InInstallFolder(const std::string& name) { return std::string(kInstallFolder) + "\\" + name; }

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::optional<std::string> OnDisk(const std::string& path) {
  xp::machine::FoundPath found;
  if (xp::machine::FindOnDrives(path, &found) != xp::machine::PathLookup::kFound) return std::nullopt;
  std::ifstream in(found.host, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Digest(const std::string& content) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : content) hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001b3ull;
  char text[48];
  std::snprintf(text, sizeof text, "%zu:%016llx", content.size(), static_cast<unsigned long long>(hash));
  return text;
}

const std::vector<UserFile>& InstallMachine::UserFiles() {
  static const std::vector<UserFile> files = {
      {"C:\\Documents and Settings\\Administrator\\My Documents\\letter.doc", Bytes(1001, 1), FILE_ATTRIBUTE_READONLY,
       false, false, true},
      {"C:\\Documents and Settings\\Administrator\\My Documents\\empty.txt", "", 0, false, false, false},
      {"C:\\Documents and Settings\\Administrator\\mail.db", Bytes(70000, 2), 0, false, true, true},
      {"C:\\Documents and Settings\\Administrator\\packed.log", Bytes(20000, 3), FILE_ATTRIBUTE_HIDDEN, true, false,
       true},
      {"C:\\Documents and Settings\\Administrator\\secret.txt", Bytes(4097, 11), 0, false, false, true, true},
      {"C:\\Documents and Settings\\Administrator\\desktop.ini", "[.ShellClassInfo]", 0, false, false, false},
      {"C:\\WINDOWS\\Temp\\setup.tmp", Bytes(333, 4), 0, false, false, true},
      {"C:\\WINDOWS\\explorer.exe", Bytes(4000, 5), 0, false, false, false},
      {"C:\\autoexec.txt", Bytes(50, 6), 0, false, false, false},
      {"D:\\root.txt", Bytes(17, 7), 0, false, false, true},
      {"D:\\data\\sheet.xls", Bytes(65541, 8), 0, false, false, true},
      {"D:\\data\\shortcut.lnk", Bytes(90, 9), 0, false, false, false},
      {"D:\\Recycler\\S-1-5-21\\Dc1.txt", Bytes(64, 10), 0, false, false, false},
  };
  return files;
}

const std::vector<CrashOperation>& MutatingOperations() {
  static const std::vector<CrashOperation> operations = {
      {"CreateFileA", 8},      {"WriteFile", 5},        {"FlushFileBuffers", 3}, {"MoveFileA", 1},
      {"DeleteFileA", 1},      {"SetFileAttributesA", 2}, {"SetFileTime", 1},    {"DeviceIoControl", 1},
      {"EncryptFileA", 1},     {"CreateDirectoryA", 1}, {"RemoveDirectoryA", 1}, {"RegSetValueExA", 2}};
  return operations;
}

InstallMachine::InstallMachine(RegistrationTool tool)
    : machine_(MachineOptions()), root_(machine_.root()), tool_(tool), token_(machine_.token_id()) {
  computer_name_ = MachineOptions().machine.computer_name;
  clean_password_block_ = xp::usbtoken::Inspect(root_, token_)->password_block;
  Put("C:\\BOOT.INI",
      "[boot loader]\r\ntimeout=30\r\ndefault=multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS\r\n[operating systems]\r\n"
      "multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS=\"Microsoft Windows XP Professional\" /fastdetect\r\n");
  for (const UserFile& file : UserFiles()) {
    Put(file.path, file.content);
    if (file.compressed) setCompressSparseAttr(true, file.path.c_str());
    if (file.sparse) setCompressSparseAttr(false, file.path.c_str());
    if (file.efs) EncryptFileA(file.path.c_str());
    if (file.attributes != 0) SetFileAttributesA(file.path.c_str(), file.attributes);
  }

  // The outside installer's work: the flag key, its lists, and the programs diskseal starts.
  SetText(HKEY_LOCAL_MACHINE, kFlagKey, "Decrypted", "4");
  SetText(HKEY_LOCAL_MACHINE, kFlagKey, "ISLink", "C:\\Program Files\\Quillmarsh\\Uninstall.exe");
  Put(InInstallFolder("_MRVBADFTYPES"), ".lnk\r\n.sys\r\n.bat\r\n.manifest\r\n");
  Put(InInstallFolder("_MRVBADFNAMES"), "\\pagefile.sys\r\n");
  Put(InInstallFolder("_MRVMYNEFL"), "C:\\Program Files\\Quillmarsh\r\n");
  Put(InInstallFolder("_MRVMYEFL"), "D:\\data\r\n");
  if (tool_ == RegistrationTool::kStub) {
    // A stand-in for the registration tool that ends at once is enough to be started.
    Put(InInstallFolder("tokenreg.exe"), "#!/bin/sh\nexit 0\n");
    std::filesystem::permissions(root_ / "drives/C/Program Files/Quillmarsh/Tavik/XP/tokenreg.exe",
                                 std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
  } else {
    PlaceBuilt("tokenreg", InInstallFolder("tokenreg.exe"));
    // The client's settings as the outside installer writes them: the service over HTTPS.
    for (const auto& [name, value] :
         {std::pair{"ServerPath", xp::websvc::kServerPath}, {"SSL", "1"}, {"testing", "0"}}) {
      SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", name, value);
    }
  }
  if (!_construct_morvel_sys_files(true)) throw std::runtime_error("no install-folder paths");
  PlaceBuilt("diskseal", kDiskseal);
  PlaceBuilt("mrv_verify_cfk", InInstallFolder("MRVVerifyCFK.exe"));
  PlaceBuilt("morvel", "C:\\WINDOWS\\system32\\drivers\\morvel.sys");
  PlaceBuilt("logongate", "C:\\WINDOWS\\system32\\logongate.dll");
  // All this was on the disk long before the install: no power loss takes it away.
  if (!xp::ntos::host::WriteBackKernelCache(root_)) throw std::runtime_error("the machine's cache was not written back");
}

InstallMachine::~InstallMachine() {
  web_.reset();
  xp::machine::ClearFaults();
  xp::boot::EndMachineProcesses();
  // The scratch machine then stops the kernel host, gives the variables back and removes the folder.
}

int InstallMachine::RunProgram(const std::string& windows_program, const xp::ui::Script& script) {
  script.Install(root_);
  // As the outside installer starts it: a process of the machine, run from the drive, as the administrator.
  xp::machine::FoundPath program;
  if (xp::machine::FindOnDrives(windows_program, &program) != xp::machine::PathLookup::kFound) return -1;
  xp::machine::LaunchRequest request{program.host, program.windows, {windows_program}, kAdministrator, ""};
  xp::machine::LaunchedProcess launched;
  if (xp::machine::LaunchProcess(request, &launched) != 0) return -1;
  int status = 0;
  while (::waitpid(launched.host_pid, &status, 0) < 0 && errno == EINTR) {
  }
  const int exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  // A user who was not asked what the script expected: show what the UI said about it.
  if (exit_code == xp::ui::kUiFailureExitCode) std::cerr << windows_program << ": the UI script did not match\n";
  return exit_code;
}

void InstallMachine::AnswerThisStart(xp::ui::Script& script) const {
  using xp::ui::Pattern;
  const std::optional<std::string> flag = Flag();
  if (flag == "0") {
    script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Congratulations!*")).Answer(IDOK);
    if (tool_ == RegistrationTool::kReal) {
      script.Dialog("frmRegister", "Tavik Registration").Type("txtPwd", kPassword).Click("cmdAuthenticate");
    }
    return;
  }
  if (flag == "2") {
    script.Dialog(kResume).Click(kContinueChoice).Click(IDOK);
  } else {
    script.Dialog(kPhaseTwo).Click(IDOK);
    if (xp::usbtoken::Inspect(root_, token_)->password_block == clean_password_block_) {
      script.Dialog(kCreatePassword).Type(kNewPassword, kPassword).Type(kRetypePassword, kPassword).Click(IDOK);
    }
  }
  script.Dialog(kMainDialog).Type(kPasswordEdit, kPassword).Click(IDOK);
  unsigned char s1[17];
  if (read_nubo_s1(s1, 16) == 0) {
    script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Used Tavik detected.*")).Answer(IDNO);
  }
  const std::string state = Get(InInstallFolder("MRVSTATE")).value_or("0");
  if (std::atoi(state.c_str()) < 600) {
    // Windows\Temp is kept: the second pass must find it.
    script.ExpectBox("Quillmarsh Tavik Installation", Pattern::Wildcard("It is recommended that you empty*"))
        .Answer(IDNO);
    script.Dialog(kMessage).Click(IDOK);
  }
  script.ExpectBox("Quillmarsh Tavik Installation", Pattern::Wildcard("Important: During encryption*")).Answer(IDOK);
}

int InstallMachine::RunFirstInstall() {
  xp::ui::Script script;
  AnswerThisStart(script);
  return RunProgram(kDiskseal, script);
}

BootRun InstallMachine::RestartAndLogOn() {
  const bool armed = RunSetupArmed();
  // The web service, and the browser it puts on the machine, come when the install has finished: a browser the
  // install had encrypted could not start here, where a program runs from its file as it lies on the disk.
  if (armed && tool_ == RegistrationTool::kReal && !web_ && Flag() == "0") {
    web_ = std::make_unique<xp::websvc::Server>();
  }
  BootRun run = BootAndLogOn([&](xp::ui::Script& script) {
    if (armed) AnswerThisStart(script);
  });
  run.diskseal_started = armed;
  return run;
}

BootRun InstallMachine::BootAndLogOn(const std::function<void(xp::ui::Script&)>& answer_programs) {
  BootRun run;
  xp::ui::Script script;
  const bool token_logon = LogonComponentNamed();
  if (token_logon) {
    AnswerTokenLogOn(script, kPassword);
    if (account_on_token_) {
      AnswerKeptAccount(script, std::string(kAdministrator) + "@" + computer_name_);
    } else {
      AnswerFirstAccount(script, kAdministratorPassword);
    }
  } else {
    script.CtrlAltDel(xp::winlogon::kWelcomeScreen);
    script.Dialog(xp::msgina::kLogonDialog)
        .Type(xp::msgina::kLogonUserName, kAdministrator)
        .Type(xp::msgina::kLogonPassword, kAdministratorPassword)
        .Click(IDOK);
  }
  answer_programs(script);
  script.Install(root_);
  const uint32_t last_before = LastDisksealPid();
  xp::boot::BootOptions options;
  options.programs = std::filesystem::path(xp::test::BuildProgram("winlogon")).parent_path();
  const xp::boot::BootResult result = xp::boot::Boot(root_, options);
  ::unsetenv("XPMACHINE_UI");
  // A boot's script ends with the session's programs: nobody is left to press Ctrl+Alt+Del.
  run.booted = result.booted && (result.winlogon_exit_code == 0 || result.nobody_at_the_keys);
  if (!run.booted) std::cerr << "boot: " << result.error << " (winlogon " << result.winlogon_exit_code << ")\n";
  // The first token logon that got through added the administrator to the token's accounts.
  if (token_logon && run.booted) account_on_token_ = true;
  const uint32_t last = LastDisksealPid();
  if (last != last_before) {
    const std::optional<xp::machine::ProcessRecord> record = xp::machine::FindProcess(last);
    run.diskseal_exit_code = record ? static_cast<int>(record->ExitCodeOrStillActive()) : -1;
  }
  return run;
}

bool InstallMachine::RunToTheEnd(int limit) {
  for (int logon = 0; logon < limit; ++logon) {
    if (!RunSetupArmed()) return true;
    if (!RestartAndLogOn().booted) return false;
  }
  return !RunSetupArmed();
}

std::optional<std::string> InstallMachine::Read(const std::string& path) const { return Get(path); }

uint32_t InstallMachine::LastDisksealPid() const {
  uint32_t last = 0;
  for (const xp::machine::ProcessRecord& record : xp::machine::ListProcesses()) {
    if (record.ExeFile() == "diskseal.exe") last = record.pid;
  }
  return last;
}

std::vector<xp::websvc::Registration> InstallMachine::AwaitRegistration() const {
  if (!web_) return {};
  const auto ended = [this] {
    const std::vector<std::string> ui = UiJournal();
    return std::find(ui.begin(), ui.end(), "dialog frmRegister unload") != ui.end();
  };
  // Started by diskseal, which does not wait for it, the program (and the browser it opens) runs on by itself.
  for (int wait = 0; wait < 1200 && !(ended() && !web_->Registrations().empty()); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return web_->Registrations();
}

std::vector<xp::websvc::RequestRecord> InstallMachine::WebRequests() const {
  return web_ ? web_->Requests() : std::vector<xp::websvc::RequestRecord>();
}

bool InstallMachine::RunSetupArmed() const { return RegistryValue(HKEY_LOCAL_MACHINE, kRunOnceKey, "RunSetup") != "-"; }

bool InstallMachine::LogonComponentNamed() const {
  char gina[64] = {};
  return getRegStrData(gina, sizeof gina, HKEY_LOCAL_MACHINE, kWinlogonKey, "GinaDLL") &&
         _stricmp(gina, "logongate.dll") == 0;
}

std::optional<std::string> InstallMachine::Flag() const {
  char flag[4] = {};
  if (!getRegStrData(flag, sizeof flag, HKEY_LOCAL_MACHINE, kFlagKey, "Decrypted")) return std::nullopt;
  return std::string(flag);
}

MachineState InstallMachine::State() const {
  MachineState state;
  const std::string history_text = Get(InInstallFolder("MRVENCHS")).value_or("");
  const std::vector<std::string> history = SortedLines(history_text);
  const std::string key = InstalledKey();
  if (!xp::ntos::host::WriteBackKernelCache(root_)) throw std::runtime_error("the machine's cache was not written back");
  for (const char* drive : {"C:", "D:"}) CollectFiles(drive, history, key, &state);
  for (const char* list : {"MRVENCHS", "MRVBADFILES", "MRVSTATE", "MRVNEFLI", "MRVEFLST"}) {
    std::string joined;
    for (const std::string& line : SortedLines(Get(InInstallFolder(list)).value_or(""))) joined += line + "\n";
    state.install_lists[list] = joined;
  }
  const std::string tavik = "SOFTWARE\\Quillmarsh\\Tavik\\";
  const std::vector<std::pair<std::string, std::string>> values = {
      {kFlagKey, "Decrypted"},
      {kFlagKey, "ESN"},
      {kFlagKey, "sysDir"},
      {tavik + "driver", "1"},
      {tavik + "driver", "2"},
      {tavik + "driver", "3"},
      {tavik + "driver", "nostart"},
      {tavik + "exclusion", "1"},
      {tavik + "exclusion", "2"},
      {tavik + "exclusion", "3"},
      {tavik + "inclusion", "1"},
      {tavik + "inclusion", "2"},
      {tavik + "Exception", "1"},
      {kWinlogonKey, "GinaDLL"},
      {kWinlogonKey, "Userinit"},
      {kRunOnceKey, "RunSetup"},
      {"SYSTEM\\CurrentControlSet\\Services\\Morvel", "Type"},
      {"SYSTEM\\CurrentControlSet\\Services\\Morvel", "Start"},
      {"SYSTEM\\CurrentControlSet\\Services\\Morvel", "ErrorControl"},
      {"SYSTEM\\CurrentControlSet\\Services\\Morvel", "ImagePath"},
  };
  for (const auto& [key_name, name] : values) {
    state.registry[key_name + "\\" + name] = RegistryValue(HKEY_LOCAL_MACHINE, key_name, name);
  }
  unsigned char s1[17];
  state.registry["token S1 record"] = std::to_string(read_nubo_s1(s1, 16));
  return state;
}

std::vector<std::string> InstallMachine::UiJournal() const { return xp::test::UiJournal(root_); }

}  // namespace tavik::scenarios
