// The installed machine of logon_machine.h, driven through xpmachine as a person drives it.
#include "logon_machine.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "logon_steps.h"
#include "run_program.h"
#include "xp/ui_script.h"
#include "xp/usbtoken.h"

namespace tavik::scenarios {
namespace {

namespace fs = std::filesystem;

// The install as its user answers it: Phase II confirmed, the factory-new token given its password, the Windows
// temporary folder kept, encryption begun.
constexpr char kInstallScript[] =
    "dialog 129: click IDOK\n"
    "dialog 134: type 1000 \"Secret12\"; type 1001 \"Secret12\"; click IDOK\n"
    "dialog 102: type 1016 \"Secret12\"; click IDOK\n"
    "box \"Quillmarsh Tavik Installation\" \"It is recommended that you empty*\" -> No\n"
    "dialog 135: click IDOK\n"
    "box \"Quillmarsh Tavik Installation\" \"Important: During encryption*\" -> OK\n";
constexpr uint64_t kTokenSeed = 11, kOtherTokenSeed = 23;

xp::test::ProgramRun Xpmachine(const std::vector<std::string>& arguments) {
  return xp::test::RunProgram(xp::test::BuildProgram("xpmachine"), arguments, xp::test::Stderr::kApart);
}

fs::path HostPath(const fs::path& root, const std::string& windows_path) {
  std::string relative = windows_path.substr(3);
  for (char& c : relative) c = c == '\\' ? '/' : c;
  return root / "drives" / windows_path.substr(0, 1) / relative;
}

std::vector<std::string> JournalLines(const fs::path& root) {
  std::ifstream in(root / "journal.log");
  std::vector<std::string> lines;
  const std::regex stamp("^\\d+ \\d+ ");
  for (std::string line; std::getline(in, line);) lines.push_back(std::regex_replace(line, stamp, ""));
  return lines;
}

std::string TokenId(const fs::path& root, bool plugged) {
  for (const xp::usbtoken::TokenInfo& token : xp::usbtoken::List(root)) {
    if (token.plugged == plugged) return token.id;
  }
  return "";
}

}  // namespace

const std::map<std::string, std::string>& ProtectedFiles() {
  static const std::map<std::string, std::string> files = {
      {"C:\\Documents and Settings\\Administrator\\My Documents\\diary.txt",
       "Dear diary,\r\nthe disk is about to be encrypted.\r\n"},
      {"C:\\Docs\\report.txt", "the quarterly figures, in plain text, 37"},
      {"C:\\Docs\\blocks.bin", std::string(4096 + 5, 'x') + "tail!"},
  };
  return files;
}

LogonMachine::LogonMachine() {
  std::string pattern = (fs::temp_directory_path() / "logon-scenario-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
  base_ = pattern;
  root_ = base_ / "pc";
  ::setenv("XPMACHINE_CLOCK", "virtual", 1);
  if (Xpmachine({"new", root_.string(), "--token-seed", std::to_string(kTokenSeed)}).exit_code != 0) {
    throw std::runtime_error("xpmachine new failed");
  }
  for (const auto& [path, content] : ProtectedFiles()) PutOnDisk(path, content);
  std::ofstream(HostPath(root_, "C:\\BOOT.INI"), std::ios::binary)
      << "[boot loader]\r\ndefault=multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS\r\n[operating systems]\r\n"
         "multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS=\"Microsoft Windows XP Professional\" /fastdetect\r\n";
  std::ofstream(root_ / "install.script") << kInstallScript;
  ::setenv("XPMACHINE_UI", "script:install.script", 1);
  const xp::test::ProgramRun install = Xpmachine({"run", root_.string(), xp::test::BuildProgram("tavik_setup")});
  ::unsetenv("XPMACHINE_UI");
  // Before it encrypts, diskseal ends every program of the user, the outside installer among them (exit code 1);
  // `xpmachine run` waits for diskseal too, which ends with the restart it asks for.
  const std::regex diskseal_running("running +[^\\n]*diskseal");
  for (int waited = 0; waited < 600; ++waited) {
    if (!std::regex_search(Xpmachine({"ps", root_.string()}).output, diskseal_running)) break;
    ::usleep(100 * 1000);
  }
  if (install.exit_code != 1 || !fs::exists(root_ / "restart-requested")) {
    throw std::runtime_error("the install did not end with its restart: " + install.output + install.error);
  }
}

LogonMachine::~LogonMachine() {
  ClearFaults();
  // A boot stops the machine's kernel host only to start it again; the test is over, so it stops for good.
  Xpmachine({"kernel", "stop", root_.string()});
  std::error_code ignored;
  fs::remove_all(base_, ignored);
}

int LogonMachine::Boot(const std::string& script, bool safe_mode) {
  boot_line_ = JournalLines(root_).size();
  std::ofstream(root_ / "boot.script", std::ios::trunc) << script;
  ::setenv("XPMACHINE_UI", "script:boot.script", 1);
  std::vector<std::string> arguments = {"boot", root_.string()};
  if (safe_mode) arguments.push_back("--safe-mode");
  const xp::test::ProgramRun run = Xpmachine(arguments);
  ::unsetenv("XPMACHINE_UI");
  // xpmachine fails such a boot (3), since a script that runs out may have been meant to go on; a scenario's
  // script ends where the person leaves the machine, so that is the boot's end here. A script that did not match
  // is still a failure.
  if (run.exit_code == 3 && run.error.find("the UI script ran out: Winlogon stopped waiting for Ctrl+Alt+Del") !=
                                std::string::npos) {
    return 0;
  }
  return run.exit_code;
}

std::vector<std::string> LogonMachine::LastBoot() const {
  const std::vector<std::string> lines = JournalLines(root_);
  return std::vector<std::string>(lines.begin() + static_cast<long>(std::min(boot_line_, lines.size())), lines.end());
}

std::optional<std::string> LogonMachine::Read(const std::string& windows_path) const {
  const xp::test::ProgramRun run = Xpmachine({"type", root_.string(), windows_path});
  if (run.exit_code != 0) return std::nullopt;
  return run.output;
}

std::optional<std::string> LogonMachine::OnDisk(const std::string& windows_path) const {
  std::ifstream in(HostPath(root_, windows_path), std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void LogonMachine::PutOnDisk(const std::string& windows_path, const std::string& bytes) const {
  const fs::path target = HostPath(root_, windows_path);
  fs::create_directories(target.parent_path());
  std::ofstream(target, std::ios::binary | std::ios::trunc) << bytes;
}

std::string LogonMachine::Registry(const std::string& key, const std::string& name) const {
  const xp::test::ProgramRun run = Xpmachine({"reg", "query", root_.string(), key, "/v", name});
  if (run.exit_code != 0) return "";
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(name) != std::string::npos && line.find("REG_") != std::string::npos) return line;
  }
  return "";
}

void LogonMachine::SetRegistryText(const std::string& key, const std::string& name, const std::string& text) const {
  if (Xpmachine({"reg", "add", root_.string(), key, "/v", name, "/d", text}).exit_code != 0) {
    throw std::runtime_error("xpmachine reg add " + key + " " + name + " failed");
  }
}

bool LogonMachine::RegistryKeyExists(const std::string& key) const {
  return Xpmachine({"reg", "query", root_.string(), key}).exit_code == 0;
}

std::vector<std::string> LogonMachine::InstallFolder() const {
  std::vector<std::string> names;
  std::error_code missing;
  for (const fs::directory_entry& entry : fs::directory_iterator(HostPath(root_, kInstallFolder), missing)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

int LogonMachine::Run(const std::string& program, const std::vector<std::string>& arguments) const {
  std::vector<std::string> command = {"run", root_.string(), program};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return Xpmachine(command).exit_code;
}

bool LogonMachine::AwaitEnded(const std::string& image) const {
  const std::regex running("running +[^\\n]*" + image);
  for (int waited = 0; waited < 600; ++waited) {
    if (!std::regex_search(Xpmachine({"ps", root_.string()}).output, running)) return true;
    ::usleep(100 * 1000);
  }
  return false;
}

std::string LogonMachine::LastPuzzle() const {
  std::string puzzle;
  const std::regex shown("ui dialog 300 control 1045 edit \"([0-9a-f]*)\"");
  for (const std::string& line : JournalLines(root_)) {
    std::smatch match;
    if (std::regex_search(line, match, shown)) puzzle = match[1];
  }
  return puzzle;
}

std::string LogonMachine::KeyAnswer(const std::string& puzzle) const {
  std::string answer = Xpmachine({"token", "answer", root_.string(), puzzle}).output;
  while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
  return answer;
}

std::string LogonMachine::TokenS1Record() const {
  constexpr size_t kPage = 512, kS1Page = 2, kRecordOffset = 4, kRecordSize = 32;
  const std::vector<xp::usbtoken::TokenInfo> tokens = xp::usbtoken::List(root_);
  if (tokens.empty()) return "";
  const std::optional<xp::usbtoken::Snapshot> token = xp::usbtoken::Inspect(root_, tokens.front().id);
  if (!token) return "";
  const auto* record = reinterpret_cast<const char*>(token->flash.data() + kS1Page * kPage + kRecordOffset);
  return std::string(record, kRecordSize);
}

void LogonMachine::UnplugToken() const { xp::usbtoken::Unplug(root_, TokenId(root_, true)); }

void LogonMachine::PlugToken() const { xp::usbtoken::Plug(root_, TokenId(root_, false)); }

void LogonMachine::SwapInOtherToken() {
  xp::usbtoken::Unplug(root_, TokenId(root_, true));
  xp::usbtoken::Provision(root_, kOtherTokenSeed);
}

void LogonMachine::Arm(const xp::machine::Fault& fault) const {
  ::setenv("XPMACHINE", root_.c_str(), 1);
  xp::machine::ArmFault(fault);
}

void LogonMachine::ClearFaults() const {
  ::setenv("XPMACHINE", root_.c_str(), 1);
  xp::machine::ClearFaults();
}

uint32_t LogonMachine::CountedCalls() const {
  std::ifstream in(root_ / "faults");
  uint32_t calls = 0;
  const std::regex counted(" calls=([0-9]+)");
  for (std::string line; std::getline(in, line);) {
    std::smatch match;
    if (std::regex_search(line, match, counted)) calls += static_cast<uint32_t>(std::stoul(match[1]));
  }
  return calls;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    text += {kDigits[byte >> 4], kDigits[byte & 15]};
  }
  return text;
}

std::string TokenLogOn(const std::string& password) {
  xp::ui::Script script;
  AnswerTokenLogOn(script, password);
  return script.Text();
}

std::string FirstAccount() {
  xp::ui::Script script;
  AnswerFirstAccount(script, "admin");
  return script.Text() + InstallFinishes();
}

std::string InstallFinishes() {
  return "box \"Quillmarsh Tavik\" \"Congratulations!*\" -> OK\n"
         "dialog frmRegister: click cmdCancel\n";
}

std::string KeptAccount() {
  xp::ui::Script script;
  AnswerKeptAccount(script, "Administrator@WORKSTATION");
  return script.Text();
}

std::string KeyAnswerLogOn(const std::string& answer) {
  return "dialog 100: enter\n"
         "dialog 300: click 1048; type 1008 \"" + answer + "\"; click 203\n"
         "dialog 1500: type 1502 \"Administrator\"; type 1504 \"admin\"; click IDOK\n";
}

std::string ShutDownFromLogon() {
  return "dialog 100: ctrl-alt-del\ndialog 300: click 202\ndialog 500: check 503; click IDOK\n";
}

std::string ShutDownFromDesktop() {
  return "ctrl-alt-del \"Windows desktop\"\ndialog 400: click 410\ndialog 500: check 503; click IDOK\n";
}

}  // namespace tavik::scenarios
