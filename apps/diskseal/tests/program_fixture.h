// diskseal run as a program inside a test's machine, with a UI script for the user; and what a finished install
// leaves, read back from the machine.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "engine_fixture.h"
#include "resource.h"

namespace tavik::diskseal::testing {

struct ProgramRun {
  int exit_code = -1;
  std::string err;
};

class ProgramTest : public EngineTest {
 protected:
  explicit ProgramTest(std::vector<DriveSpec> drives = DefaultDrives()) : EngineTest(drives, false) {}

  // Runs diskseal (the program built beside this test) until it ends, with the script as its user.
  ProgramRun RunDiskseal(const xp::ui::Script& script);

  // The registry value as text (REG_SZ) or number (REG_DWORD), when present.
  static std::optional<std::string> Text(HKEY root, const std::string& key, const std::string& name);
  static std::optional<DWORD> Number(HKEY root, const std::string& key, const std::string& name);
  static void SetText(HKEY root, const std::string& key, const std::string& name, const std::string& text);
  static std::optional<std::string> Flag() { return Text(HKEY_LOCAL_MACHINE, kFlagKey, "Decrypted"); }
  static std::optional<std::string> RunSetup() {
    return Text(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "RunSetup");
  }
  // The install's key as the logon will rebuild it: the token's answer to MRVPUZSN opens MRVENTFE.
  static std::string InstalledKey();
  // The plaintext of a file the install encrypted.
  static std::optional<std::string> Decrypted(const std::string& path);

  // A first install of `files` (path, plain bytes), killed in its first pass right after the `committed`th file's
  // plain copy was deleted: those files encrypted and in the history, the flag "2".
  void CrashInstallInFirstPass(const std::map<std::string, std::string>& files, int committed);
  // The next administrator logon starts diskseal from RunOnce, which Windows deletes before it runs it.
  static void StartFromRunOnce();

  // The script of a first install on a clean token, from the Phase II dialog to the warning before the passes.
  static xp::ui::Script& FreshInstall(xp::ui::Script& script, bool empty_temp = true);

  static constexpr char kFlagKey[] = "SOFTWARE\\Quillmarsh\\morvelFlag";
};

}  // namespace tavik::diskseal::testing
