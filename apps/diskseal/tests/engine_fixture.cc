// The engine tests' machine.
#include "engine_fixture.h"

#include <cstring>
#include <random>
#include <stdexcept>

#include "resource.h"
#include "setupcore.h"
#include "tokenio.h"
#include "ui_journal.h"

namespace tavik::diskseal::testing {
namespace {

// The drives as given, the token from seed 7, a fresh installation's registry; nobody answers until a script plays.
xp::test::ScratchOptions MachineWith(const std::vector<DriveSpec>& drives) {
  xp::test::ScratchOptions options{.token_seed = 7, .no_ui = true};
  options.machine.drives.clear();
  for (const DriveSpec& drive : drives) {
    xp::machine::DriveOptions spec;
    spec.letter = drive.letter;
    spec.type = drive.type;
    spec.volume_serial = drive.serial;
    spec.free_bytes = drive.free_bytes;
    options.machine.drives.push_back(spec);
  }
  return options;
}

void SetFlagValue(const char* name, const std::string& text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\morvelFlag", 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

}  // namespace

EngineTest::EngineTest(std::vector<DriveSpec> drives, bool token_prepared) : machine_(MachineWith(drives)) {
  // A single system in the boot menu, as on most machines.
  Put("C:\\BOOT.INI",
      "[boot loader]\r\ntimeout=30\r\ndefault=multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS\r\n[operating systems]\r\n"
      "multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS=\"Microsoft Windows XP Professional\" /fastdetect\r\n");
  // What the outside installer leaves.
  SetFlagValue("Decrypted", "4");
  SetFlagValue("ISLink", "C:\\Program Files\\Quillmarsh\\Uninstall.exe");
  MakeFolders(InInstallFolder("x"));
  Put(InInstallFolder("_MRVBADFTYPES"), ".lnk\n.sys\n.bat\n.manifest\n");
  Put(InInstallFolder("_MRVBADFNAMES"), "\\pagefile.sys\n\\keep-plain.dat\n");
  Put(InInstallFolder("_MRVMYNEFL"), "C:\\Program Files\\Quillmarsh\n");
  if (!_construct_morvel_sys_files(true)) throw std::runtime_error("no install-folder paths");

  NewEngine();
  if (!token_prepared) return;
  // The first dialogs' work: the token bound and its password set.
  unsigned char area[128];
  if (!GetESN(area)) throw std::runtime_error("no token");
  SetFlagValue("ESN", std::string(reinterpret_cast<char*>(area), 8));
  if (BurnPwd(kPassword) != 1) throw std::runtime_error("password not set");
  if (!write_hd_install_state(100)) throw std::runtime_error("no install state");
}

EngineTest::~EngineTest() {
  engine_.reset();
  xp::machine::ClearFaults();
}

void EngineTest::NewEngine() {
  engine_.reset();
  engine_ = std::make_unique<CInitEncrypt>(&view_);
}

void EngineTest::MakeKeys() {
  unsigned char s1[17];
  char hex[33];
  generate_s1(s1, hex);
  ASSERT_EQ(write_nubo_s1(s1, 16), 1);
  ASSERT_TRUE(write_hd_install_state(200));
  char s1_hex[33] = {};
  expandBin(s1, 16, s1_hex);
  unsigned char cfk[17];
  char response[33];
  ASSERT_EQ(generate_cfk(s1_hex, cfk, response), 1);
  unsigned char xcfk[33] = {};
  expand_cfk(cfk, xcfk);
  unsigned char sn[17];
  char sn_hex[33];
  generate_sn(sn, sn_hex);
  ASSERT_TRUE(write_hd_sn(sn, 16, 0, 0));
  unsigned char kn[17];
  ASSERT_EQ(generate_kn(sn_hex, response, kn), 1);
  unsigned char expanded_kn[32];
  expand_kn(kn, 16, expanded_kn);
  unsigned char efkn[33] = {};
  std::memcpy(efkn, xcfk, 32);
  _enc(efkn, 32, expanded_kn, 32);
  ASSERT_TRUE(write_hd_efkn(efkn, 32));
  ASSERT_TRUE(write_hd_install_state(300));
}

void EngineTest::MakeFolders(const std::string& windows_path) {
  for (size_t cut = windows_path.find('\\', 3); cut != std::string::npos; cut = windows_path.find('\\', cut + 1)) {
    CreateDirectoryA(windows_path.substr(0, cut).c_str(), nullptr);
  }
}

void EngineTest::Put(const std::string& windows_path, const std::string& bytes) {
  MakeFolders(windows_path);
  HANDLE file = CreateFileA(windows_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << windows_path;
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  EXPECT_EQ(written, bytes.size());
  CloseHandle(file);
}

std::optional<std::string> EngineTest::Get(const std::string& windows_path) {
  HANDLE file = CreateFileA(windows_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
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

bool EngineTest::Exists(const std::string& windows_path) { return Attributes(windows_path) != INVALID_FILE_ATTRIBUTES; }

DWORD EngineTest::Attributes(const std::string& windows_path) { return GetFileAttributesA(windows_path.c_str()); }

std::vector<std::string> EngineTest::Lines(const std::string& windows_path) {
  std::vector<std::string> lines;
  const std::optional<std::string> text = Get(windows_path);
  if (!text) return lines;
  size_t start = 0;
  while (start < text->size()) {
    size_t end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    std::string line = text->substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string EngineTest::Encrypted(const std::string& plain, const unsigned char* key) {
  std::string data = plain;
  unsigned char key_copy[33];
  std::memcpy(key_copy, key, 33);
  _enc(reinterpret_cast<unsigned char*>(data.data()), static_cast<unsigned int>(data.size()), key_copy, 33);
  return data;
}

xp::ui::Script& EngineTest::AnswerMessage(xp::ui::Script& script, const std::string& caption) {
  script.Dialog(IDD_MESSAGE, caption).Click(IDOK);
  return script;
}

std::vector<std::string> EngineTest::UiJournal() const { return xp::test::UiJournal(root()); }

std::vector<std::string> EngineTest::MessagesShown() const {
  const std::string prefix =
      "dialog " + std::to_string(IDD_MESSAGE) + " control " + std::to_string(IDC_MESSAGE_TEXT) + " static ";
  std::vector<std::string> texts;
  for (const std::string& line : UiJournal()) {
    if (line.starts_with(prefix)) texts.push_back(line.substr(prefix.size()));
  }
  return texts;
}

std::string EngineTest::RandomBytes(size_t length, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string bytes(length, '\0');
  for (char& c : bytes) c = static_cast<char>(generator());
  return bytes;
}

}  // namespace tavik::diskseal::testing
