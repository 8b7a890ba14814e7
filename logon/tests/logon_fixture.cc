// The installed machine of logon_fixture.h and its script pieces.
#include "logon_fixture.h"

#include <stdlib.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "built_programs.h"
#include "filter_install.h"
#include "interface.h"
#include "key_format.h"
#include "token_keys.h"
#include "tokenapi.h"
#include "tokenio.h"
#include "xp/usbtoken.h"
#include "xp/registry.h"

namespace tavik::logongate::testing {
namespace {

namespace fs = std::filesystem;
namespace driver = xp::driver_interface::testing;

Block PuzzleBlock() {
  Block block;
  for (size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<uint8_t>(std::stoi(std::string(keys::kPuzzleBlock + 2 * i, 2), nullptr, 16));
  }
  return block;
}

fs::path HostPath(const fs::path& root, const std::string& windows_path) {
  std::string relative = windows_path.substr(3);
  for (char& c : relative) c = c == '\\' ? '/' : c;
  return root / "drives" / windows_path.substr(0, 1) / relative;
}

void Place(const fs::path& root, const std::string& target_name, const std::string& windows_path) {
  const fs::path target = HostPath(root, windows_path);
  fs::create_directories(target.parent_path());
  fs::copy_file(xp::test::BuildProgram(target_name), target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_all, fs::perm_options::add);
}

void Remember(std::vector<std::pair<std::string, std::optional<std::string>>>* saved, const char* name) {
  const char* value = ::getenv(name);
  saved->push_back({name, value != nullptr ? std::optional<std::string>(value) : std::nullopt});
}

bool Matches(const std::string& line, const std::string& pattern) {
  return xp::ui::Pattern::Wildcard(pattern).Matches(line);
}

}  // namespace

std::string Hex(const uint8_t* bytes, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < n; ++i) text += {kDigits[bytes[i] >> 4], kDigits[bytes[i] & 15]};
  return text;
}

void LogonTest::SetUp() {
  for (const char* name : {"XPMACHINE", "XPMACHINE_CLOCK", "XPMACHINE_USER", "XPMACHINE_UI"}) Remember(&saved_, name);
  std::string pattern = (fs::temp_directory_path() / "logon-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  root_ = pattern;
  xp::machine::MachineOptions options;
  options.edition = setup_.edition;
  xp::machine::Create(root_, options);
  token_ = xp::usbtoken::Provision(root_, setup_.token_seed);
  esn_ = xp::usbtoken::List(root_).front().esn;
  ::setenv("XPMACHINE", root_.c_str(), 1);
  ::setenv("XPMACHINE_CLOCK", "virtual", 1);
  ASSERT_EQ(xp::registry::SeedFreshInstallation(), ERROR_SUCCESS);
  AppendToDescription(std::string("account.3.name = ") + kUser + "\naccount.3.password = " + kUserPassword +
                      "\naccount.3.administrator = no\n");
  std::string pin = kTokenPassword;
  ASSERT_EQ(NuboSetPin(pin.data(), static_cast<int>(pin.size())), 0);
  Place(root_, "logongate", "C:\\WINDOWS\\system32\\logongate.dll");
  Place(root_, "userinit", "C:\\WINDOWS\\system32\\userinit.exe");
  Place(root_, "mrv_verify_cfk", std::string(kInstallFolder) + "\\MRVVerifyCFK.exe");
  const std::string winlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  SetMachineString(winlogon, "GinaDLL", "logongate.dll");
  SetMachineString(winlogon, "Userinit",
                   std::string("C:\\WINDOWS\\system32\\userinit.exe,") + kInstallFolder + "\\MRVVerifyCFK.exe,");
  if (setup_.installed) Install();
}

void LogonTest::Install() {
  for (size_t i = 0; i < 16; ++i) {
    keys_.s1[i] = static_cast<uint8_t>(0x11 * (i + 1) + setup_.token_seed);
    keys_.sn[i] = static_cast<uint8_t>(0xC3 ^ (13 * i) ^ setup_.token_seed);
  }
  Block check;
  keys::S1CheckCopy(keys_.s1.data(), check.data());
  ASSERT_EQ(WriteUserDataPage(2, 4, 16, keys_.s1.data()), 1);
  ASSERT_EQ(WriteUserDataPage(2, 20, 16, check.data()), 1);
  keys_.cfk = TokenAnswerTo(keys_.s1);
  keys::ExpandCfk(keys_.cfk.data(), keys_.xcfk.data());
  keys_.kn = TokenAnswerTo(keys_.sn);
  keys::WrapXcfk(keys_.kn.data(), keys_.xcfk.data(), keys_.efkn.data());
  PutOnDisk(std::string(kInstallFolder) + "\\MRVPUZSN", std::string(keys_.sn.begin(), keys_.sn.end()));
  PutOnDisk(std::string(kInstallFolder) + "\\MRVENTFE", std::string(keys_.efkn.begin(), keys_.efkn.end()));
  SetMachineString("SOFTWARE\\Quillmarsh\\morvelFlag", "ESN", esn_);
  SetMachineString("SOFTWARE\\Quillmarsh\\morvelFlag", "Decrypted", "0");
  driver::InstallFilter(root_);
  // The installer's list of folders it never encrypts holds the install folder.
  HKEY rules = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik\\Exclusion", 0, KEY_ALL_ACCESS, &rules),
            ERROR_SUCCESS);
  const std::u16string excluded = u"\\Program Files\\Quillmarsh";
  RegSetValueExW(rules, u"2", 0, REG_SZ, reinterpret_cast<const BYTE*>(excluded.c_str()),
                 static_cast<DWORD>((excluded.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(rules);
  if (setup_.encrypted_document) {
    driver::TestKey key{};
    key.xcfk = keys_.xcfk;
    const driver::Bytes plain(kDocumentText, kDocumentText + sizeof kDocumentText - 1);
    driver::WriteHostFile(HostPath(root_, kDocument), driver::Encrypted(plain, key));
  }
}

void LogonTest::TearDown() {
  if (setup_.installed) {
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    removeKernel(manager, "Morvel");
    CloseServiceHandle(manager);
  }
  for (const auto& [name, value] : saved_) {
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
  std::error_code error;
  fs::remove_all(root_, error);
}

xp::winlogon::Outcome LogonTest::RunWinlogon(const xp::ui::Script& script) {
  script.Install(root_);
  ::setenv("XPMACHINE_USER", "SYSTEM", 1);
  const xp::winlogon::Outcome outcome = xp::winlogon::Run(xp::winlogon::Options{});
  ::unsetenv("XPMACHINE_USER");
  return outcome;
}

std::vector<std::string> LogonTest::Journal(size_t first) const {
  std::ifstream in(root_ / "journal.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(std::regex_replace(line, std::regex("^\\d+ \\d+ "), ""));
  return std::vector<std::string>(lines.begin() + std::min(first, lines.size()), lines.end());
}

std::vector<std::string> LogonTest::Ui() const {
  std::vector<std::string> ui;
  for (const std::string& line : Journal()) {
    if (line.rfind("ui ", 0) == 0) ui.push_back(line.substr(3));
  }
  return ui;
}

bool LogonTest::KeyHeld() const {
  BYTE held = 0;
  return IsCFKSet(&held) && held == 1;
}

std::optional<std::string> LogonTest::ReadThroughMachine(const std::string& path) const {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string content;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) content.append(chunk, got);
  CloseHandle(file);
  return content;
}

std::optional<std::string> LogonTest::OnDisk(const std::string& path) const {
  std::ifstream in(HostPath(root_, path), std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void LogonTest::PutOnDisk(const std::string& path, const std::string& bytes) const {
  const fs::path target = HostPath(root_, path);
  fs::create_directories(target.parent_path());
  std::ofstream(target, std::ios::binary | std::ios::trunc) << bytes;
}

Block LogonTest::Sn() const {
  Block sn{};
  const std::string bytes = OnDisk(std::string(kInstallFolder) + "\\MRVPUZSN").value_or("");
  std::copy_n(bytes.begin(), std::min(bytes.size(), sn.size()), sn.begin());
  return sn;
}

Key LogonTest::Efkn() const {
  Key efkn{};
  const std::string bytes = OnDisk(std::string(kInstallFolder) + "\\MRVENTFE").value_or("");
  std::copy_n(bytes.begin(), std::min(bytes.size(), efkn.size()), efkn.begin());
  return efkn;
}

Block LogonTest::TokenAnswerTo(const Block& value, const std::string& token_id) const {
  return xp::usbtoken::TokenAnswer(root_, token_id.empty() ? token_ : token_id, 0, value, PuzzleBlock()).value();
}

bool LogonTest::Opens(const Block& kn, const Key& efkn) const {
  Key opened;
  keys::UnwrapEfkn(kn.data(), efkn.data(), opened.data());
  return opened == keys_.xcfk;
}

std::string LogonTest::SwapInOtherToken(uint64_t seed, const std::string& password) {
  xp::usbtoken::Unplug(root_, token_);
  const std::string other = xp::usbtoken::Provision(root_, seed);
  std::string pin = password;
  EXPECT_EQ(NuboSetPin(pin.data(), static_cast<int>(pin.size())), 0);
  return other;
}

void LogonTest::SetMachineString(const std::string& key, const std::string& name, const std::string& text) const {
  HKEY opened = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(opened);
}

std::optional<std::string> LogonTest::MachineString(const std::string& key, const std::string& name) const {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::nullopt;
  char text[512] = {};
  DWORD size = sizeof text - 1;
  const LSTATUS status = RegQueryValueExA(opened, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return std::string(text);
}

void LogonTest::AppendToDescription(const std::string& lines) const {
  std::ofstream(root_ / "machine.ini", std::ios::app) << lines;
}

// Token pages are 512 bytes; a run of bytes may go on into the next page.
std::vector<uint8_t> LogonTest::TokenBytes(int page, int offset, int length) const {
  const auto snapshot = xp::usbtoken::Inspect(root_, token_);
  const size_t start = static_cast<size_t>(page) * 512 + static_cast<size_t>(offset);
  return std::vector<uint8_t>(snapshot->flash.begin() + start, snapshot->flash.begin() + start + length);
}

void LogonTest::WriteTokenBytes(int page, int offset, const std::vector<uint8_t>& bytes) const {
  for (size_t done = 0; done < bytes.size();) {
    const size_t length = std::min<size_t>(bytes.size() - done, 512 - offset);
    ASSERT_EQ(WriteUserDataPage(page, offset, static_cast<int>(length), bytes.data() + done), 1);
    done += length;
    ++page;
    offset = 0;
  }
}

void Welcome(xp::ui::Script& script) { script.Dialog(kWelcome).CtrlAltDel(); }

void TokenLogOn(xp::ui::Script& script, const std::string& password) {
  script.Dialog(kLogon).Type(kPassword, password).Click(kLogOn);
}

void ChooseAccount(xp::ui::Script& script, const std::string& item) {
  script.Dialog(kSelect).Select(kAccountCombo, item).Click(IDOK);
}

void AddAccount(xp::ui::Script& script, const std::string& user, const std::string& domain,
                const std::string& password) {
  ChooseAccount(script, "New_Account");
  script.Dialog(kAddAccount).Type(kUserEdit, user).Type(kDomainEdit, domain).Type(kAccountPassword, password)
      .Click(IDOK);
}

void AtDesktop(xp::ui::Script& script) { script.CtrlAltDel("Windows desktop"); }

void ShutDownFromLogon(xp::ui::Script& script) {
  Welcome(script);
  script.Dialog(kLogon).Click(kShutdownButton);
  script.Dialog(kShutdown).Check(kShutdownChoice).Click(IDOK);
}

void ShutDownFromDesktop(xp::ui::Script& script) {
  AtDesktop(script);
  script.Dialog(kOptions).Click(kShutDownButton);
  script.Dialog(kShutdown).Check(kShutdownChoice).Click(IDOK);
}

void FirstLogOn(xp::ui::Script& script) {
  Welcome(script);
  TokenLogOn(script);
  AddAccount(script, kUser, kDomain, kUserPassword);
}

::testing::AssertionResult InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& patterns) {
  size_t at = 0;
  for (const std::string& pattern : patterns) {
    while (at < lines.size() && !Matches(lines[at], pattern)) ++at;
    if (at == lines.size()) return ::testing::AssertionFailure() << "no line \"" << pattern << "\" in its place";
    ++at;
  }
  return ::testing::AssertionSuccess();
}

size_t CountMatching(const std::vector<std::string>& lines, const std::string& pattern) {
  size_t count = 0;
  for (const std::string& line : lines) count += Matches(line, pattern) ? 1 : 0;
  return count;
}

}  // namespace tavik::logongate::testing
