// The installed machine diskunseal runs in, made through the machine's own calls and setupcore's key routines.
#include "program_fixture.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <tuple>

#include "run_program.h"
#include "setupcore.h"
#include "tokenio.h"
#include "ui_journal.h"
#include "xp/ui.h"

namespace tavik::diskunseal::testing {
namespace {

xp::test::ScratchOptions MachineWith(uint64_t free_bytes) {
  xp::test::ScratchOptions options{.token_seed = 7, .no_ui = true};
  options.machine.drives.clear();
  using Drive = std::tuple<char, uint32_t, uint64_t>;
  for (const auto& [letter, serial, free] : {Drive{'C', 0x5A3C71E4u, 20ull << 30}, Drive{'D', 0x1234ABCDu, free_bytes}}) {
    xp::machine::DriveOptions drive;
    drive.letter = letter;
    drive.type = "fixed";
    drive.volume_serial = serial;
    drive.free_bytes = free;
    options.machine.drives.push_back(drive);
  }
  return options;
}

void Require(bool done, const char* what) {
  if (!done) throw std::runtime_error(what);
}

}  // namespace

UninstallProgramTest::UninstallProgramTest(uint64_t free_bytes) : machine_(MachineWith(free_bytes)) {
  std::string folder;
  for (const char* part : {"C:\\Program Files", "\\Quillmarsh", "\\Tavik", "\\XP"}) {
    folder += part;
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  Require(_construct_morvel_sys_files(true), "no install-folder paths");
  unsigned char area[129] = {};
  Require(GetESN(area), "no token");
  SetText(HKEY_LOCAL_MACHINE, kFlagKey, "ESN", std::string(reinterpret_cast<char*>(area), 8));
  SetText(HKEY_LOCAL_MACHINE, kFlagKey, "Decrypted", "0");
  Require(BurnPwd(kPassword) == 1, "password not set");

  // The key hierarchy as the install makes it: S1 on the token, the CFK from it, SN and EFKN on the disk.
  unsigned char s1[17] = {};
  char s1_hex[33] = {};
  generate_s1(s1, s1_hex);
  Require(write_nubo_s1(s1, 16) == 1, "S1 not written");
  expandBin(s1, 16, s1_hex);
  unsigned char cfk[17] = {};
  char cfk_hex[33] = {};
  Require(generate_cfk(s1_hex, cfk, cfk_hex) == 1, "no CFK");
  unsigned char xcfk[33] = {};
  expand_cfk(cfk, xcfk);
  unsigned char sn[17] = {};
  char sn_hex[33] = {};
  generate_sn(sn, sn_hex);
  Require(write_hd_sn(sn, 16, 0, 0), "no MRVPUZSN");
  unsigned char kn[17] = {};
  char kn_hex[33] = {};
  Require(generate_kn(sn_hex, kn_hex, kn) == 1, "no KN");
  unsigned char expanded_kn[32];
  expand_kn(kn, 16, expanded_kn);
  unsigned char efkn[33] = {};
  std::memcpy(efkn, xcfk, 32);
  _enc(efkn, 32, expanded_kn, 32);
  Require(write_hd_efkn(efkn, 32), "no MRVENTFE");
  Require(write_hd_install_state(1000), "no install state");
  key_answer_ = kn_hex;
  char cfk_text[33] = {};
  expandBin(cfk, 16, cfk_text);
  cfk_text_ = cfk_text;

  SetNostart(1);
  SetText(HKEY_LOCAL_MACHINE, kWinlogonKey, "GinaDLL", "logongate.dll");
}

ProgramRun UninstallProgramTest::RunDiskunseal(const xp::ui::Script& script) const {
  machine_.Play(script);
  const xp::test::ProgramRun run =
      xp::test::RunProgram(xp::test::BuildProgram(program_), {}, xp::test::Stderr::kApart);
  return {run.exit_code, run.error};
}

void UninstallProgramTest::AsSecondStart() {
  SetNostart(0);
  SetText(HKEY_LOCAL_MACHINE, kWinlogonKey, "GinaDLL", "msgina.dll");
}

void UninstallProgramTest::SetText(HKEY root, const std::string& key, const std::string& name,
                                   const std::string& text) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(opened);
}

void UninstallProgramTest::SetNostart(DWORD value) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &opened, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(opened, "nostart", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
            ERROR_SUCCESS);
  RegCloseKey(opened);
}

std::optional<std::string> UninstallProgramTest::Text(HKEY root, const std::string& key, const std::string& name) {
  char text[1024] = {};
  if (!getRegStrData(text, sizeof text, root, key.c_str(), name.c_str())) return std::nullopt;
  return std::string(text);
}

std::optional<DWORD> UninstallProgramTest::Nostart() {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::nullopt;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LSTATUS status = RegQueryValueExA(opened, "nostart", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return value;
}

xp::ui::Script& UninstallProgramTest::AnswerMessage(xp::ui::Script& script, const std::string& caption) {
  script.Dialog(IDD_MESSAGE, caption).Click(IDOK);
  return script;
}

std::vector<std::string> UninstallProgramTest::MessagesShown() const {
  const std::string prefix =
      "dialog " + std::to_string(IDD_MESSAGE) + " control " + std::to_string(IDC_MESSAGE_TEXT) + " static ";
  std::vector<std::string> texts;
  for (const std::string& line : xp::test::UiJournal(machine_.root())) {
    if (line.starts_with(prefix)) texts.push_back(line.substr(prefix.size()));
  }
  return texts;
}

std::vector<std::string> UninstallProgramTest::UiLines() const { return xp::test::UiJournal(machine_.root()); }

bool UninstallProgramTest::Shown(const std::string& text) const {
  const std::vector<std::string> shown = MessagesShown();
  return std::find(shown.begin(), shown.end(), xp::ui::Quote(text)) != shown.end();
}

}  // namespace tavik::diskunseal::testing
