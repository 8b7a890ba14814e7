// configpanel run as a program of a scratch machine whose install was made by its Administrator: the flag key's
// "sysDir" names the Administrator's application-data folder, and the sixteen web-service values are in place.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "scratch_machine.h"
#include "windows.h"
#include "xp/ui_script.h"

namespace tavik::configpanel::testing {

inline constexpr char kTavikKey[] = "SOFTWARE\\Teradolm\\Drelm\\drelmServer";
inline constexpr char kRegistrationKey[] = "SOFTWARE\\Teradolm\\Drelm\\registrationServer";
inline constexpr char kRecoveryKey[] = "SOFTWARE\\Teradolm\\Drelm\\recoveryServer";
inline constexpr char kClientKey[] = "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0";
inline constexpr char kFlagKey[] = "SOFTWARE\\Quillmarsh\\morvelFlag";
inline constexpr char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr char kAdministratorFolder[] = "C:\\Documents and Settings\\Administrator\\Application Data";

// One stored value, with what the fixture stores: all servers on HTTP, their ports apart from server to server.
struct Setting {
  HKEY root;
  const char* key;
  const char* name;
  const char* initial;
};
const std::vector<Setting>& Layout();

// "HKCU\<key>\<name>" -> text.
using Settings = std::map<std::string, std::string>;
std::string PathOf(HKEY root, const std::string& key, const std::string& name);

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest();

  // Runs configpanel with the script as its user; its exit code.
  int Run(const xp::ui::Script& script);
  const std::filesystem::path& root() const { return machine_.root(); }
  // The UI journal lines of the last Run.
  const std::vector<std::string>& shown() const { return shown_; }
  bool Shown(const std::string& line) const;

  // The sixteen values as they are now (a missing one is left out).
  static Settings Stored();
  static Settings Initial();
  // Restores what the fixture stores.
  static void StoreInitial();

  static std::optional<std::string> Text(HKEY root, const std::string& key, const std::string& name);
  static void SetText(HKEY root, const std::string& key, const std::string& name, const std::string& text);
  static void DeleteValue(HKEY root, const std::string& key, const std::string& name);

 private:
  xp::test::ScratchMachine machine_;
  std::vector<std::string> shown_;
};

}  // namespace tavik::configpanel::testing
