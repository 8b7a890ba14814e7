// The scratch machine with an install's settings, and configpanel run in it.
#include "settings_fixture.h"

#include <algorithm>
#include <cstring>

#include "built_programs.h"
#include "run_program.h"
#include "ui_journal.h"

namespace tavik::configpanel::testing {

const std::vector<Setting>& Layout() {
  static const std::vector<Setting> layout = {
      {HKEY_CURRENT_USER, kTavikKey, "serverName", "tavik.example.test"},
      {HKEY_CURRENT_USER, kTavikKey, "httpPort", "8080"},
      {HKEY_CURRENT_USER, kTavikKey, "httpsPort", "443"},
      {HKEY_CURRENT_USER, kTavikKey, "SSL", "0"},
      {HKEY_CURRENT_USER, kRegistrationKey, "ServerName", "registration.example.test"},
      {HKEY_CURRENT_USER, kRegistrationKey, "httpPort", "80"},
      {HKEY_CURRENT_USER, kRegistrationKey, "httpsPort", "8443"},
      {HKEY_CURRENT_USER, kRegistrationKey, "SSL", "0"},
      {HKEY_CURRENT_USER, kRecoveryKey, "ServerName", "recovery.example.test"},
      {HKEY_CURRENT_USER, kRecoveryKey, "httpPort", "8080"},
      {HKEY_CURRENT_USER, kRecoveryKey, "httpsPort", "443"},
      {HKEY_CURRENT_USER, kRecoveryKey, "SSL", "0"},
      {HKEY_LOCAL_MACHINE, kClientKey, "ServerPath", "client.example.test/tavik/"},
      {HKEY_LOCAL_MACHINE, kClientKey, "httpPort", "80"},
      {HKEY_LOCAL_MACHINE, kClientKey, "httpsPort", "4443"},
      {HKEY_LOCAL_MACHINE, kClientKey, "SSL", "0"},
  };
  return layout;
}

std::string PathOf(HKEY root, const std::string& key, const std::string& name) {
  return std::string(root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "HKCU\\") + key + "\\" + name;
}

Settings SettingsTest::Initial() {
  Settings initial;
  for (const Setting& setting : Layout()) initial[PathOf(setting.root, setting.key, setting.name)] = setting.initial;
  return initial;
}

void SettingsTest::StoreInitial() {
  for (const Setting& setting : Layout()) SetText(setting.root, setting.key, setting.name, setting.initial);
}

SettingsTest::SettingsTest() {
  SetText(HKEY_LOCAL_MACHINE, kFlagKey, "sysDir", std::string(kAdministratorFolder) + "\\Quillmarsh\\Tavik");
  StoreInitial();
}

int SettingsTest::Run(const xp::ui::Script& script) {
  const size_t first = xp::test::UiJournal(machine_.root()).size();
  script.Install(machine_.root());
  const xp::test::ProgramRun run = xp::test::RunProgram(xp::test::BuildProgram("configpanel"), {});
  shown_ = xp::test::UiJournal(machine_.root(), first);
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u) << run.output;
  return run.exit_code;
}

bool SettingsTest::Shown(const std::string& line) const {
  return std::find(shown_.begin(), shown_.end(), line) != shown_.end();
}

Settings SettingsTest::Stored() {
  Settings stored;
  for (const Setting& setting : Layout()) {
    if (std::optional<std::string> now = Text(setting.root, setting.key, setting.name)) {
      stored[PathOf(setting.root, setting.key, setting.name)] = *now;
    }
  }
  return stored;
}

std::optional<std::string> SettingsTest::Text(HKEY root, const std::string& key, const std::string& name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::nullopt;
  char text[1024] = {};
  DWORD size = sizeof text - 1;
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExA(opened, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  return std::string(text);
}

void SettingsTest::SetText(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened,
                            nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(opened);
}

void SettingsTest::DeleteValue(HKEY root, const std::string& key, const std::string& name) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, &opened), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(opened, name.c_str()), ERROR_SUCCESS);
  RegCloseKey(opened);
}

}  // namespace tavik::configpanel::testing
