// Running diskseal as a program of the test's machine.
#include "program_fixture.h"


#include <cstring>

#include "run_program.h"
#include "setupcore.h"

namespace tavik::diskseal::testing {

ProgramRun ProgramTest::RunDiskseal(const xp::ui::Script& script) {
  Play(script);
  const xp::test::ProgramRun run =
      xp::test::RunProgram(xp::test::BuildProgram("diskseal"), {}, xp::test::Stderr::kApart);
  return {run.exit_code, run.error};
}

std::optional<std::string> ProgramTest::Text(HKEY root, const std::string& key, const std::string& name) {
  char text[1024] = {};
  if (!getRegStrData(text, sizeof text, root, key.c_str(), name.c_str())) return std::nullopt;
  return std::string(text);
}

std::optional<DWORD> ProgramTest::Number(HKEY root, const std::string& key, const std::string& name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::nullopt;
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExA(opened, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
  return value;
}

void ProgramTest::SetText(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(opened);
}

std::string ProgramTest::InstalledKey() {
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
  if (!bValidXCFK(efkn)) return "";
  return std::string(reinterpret_cast<char*>(efkn), 33);
}

std::optional<std::string> ProgramTest::Decrypted(const std::string& path) {
  std::optional<std::string> data = Get(path);
  std::string key = InstalledKey();
  if (!data || key.empty()) return std::nullopt;
  _dec(reinterpret_cast<unsigned char*>(data->data()), static_cast<unsigned int>(data->size()),
       reinterpret_cast<unsigned char*>(key.data()), 33);
  return data;
}

void ProgramTest::CrashInstallInFirstPass(const std::map<std::string, std::string>& files, int committed) {
  for (const auto& [path, plain] : files) Put(path, plain);
  xp::machine::ArmFault({xp::machine::FaultAction::kCrash, "DeleteFileA", static_cast<uint32_t>(committed), 1, 0,
                         ".H1K"});
  xp::ui::Script script;
  ASSERT_EQ(RunDiskseal(FreshInstall(script)).exit_code, 128 + 9);
  xp::machine::ClearFaults();
  ASSERT_EQ(Flag(), "2");
  ASSERT_EQ(Lines(InInstallFolder("MRVENCHS")).size(), static_cast<size_t>(committed));
}

void ProgramTest::StartFromRunOnce() {
  HKEY run_once = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, KEY_ALL_ACCESS,
                &run_once);
  RegDeleteValueA(run_once, "RunSetup");
  RegCloseKey(run_once);
}

xp::ui::Script& ProgramTest::FreshInstall(xp::ui::Script& script, bool empty_temp) {
  script.Dialog(IDD_PHASE_TWO, "Quillmarsh Tavik Installation Phase II").Click(IDOK);
  script.Dialog(IDD_CREATE_PASSWORD).Type(IDC_NEW_PASSWORD, kPassword).Type(IDC_RETYPE_PASSWORD, kPassword).Click(IDOK);
  script.Dialog(IDD_DISKSEAL_DIALOG, "Quillmarsh Tavik Installation").Type(IDC_PASSWORD, kPassword).Click(IDOK);
  script.ExpectBox("Quillmarsh Tavik Installation", xp::ui::Pattern::Wildcard("It is recommended that you empty*"))
      .Answer(empty_temp ? IDYES : IDNO);
  if (!empty_temp) AnswerMessage(script, "Quillmarsh Tavik");
  script.ExpectBox("Quillmarsh Tavik Installation", xp::ui::Pattern::Wildcard("Important: During encryption*"))
      .Answer(IDOK);
  return script;
}

}  // namespace tavik::diskseal::testing
