// diskunseal run as a program inside a test's machine, with a UI script for the user. The machine is one the
// install left: the flag "0", the token bound by its serial number with its password and S1, the key records, the
// driver's key with automatic activation on and the logon component named in Winlogon.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "resource.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/ui_script.h"

namespace tavik::diskunseal::testing {

inline constexpr char kPassword[] = "secret12";
inline constexpr char kFlagKey[] = "SOFTWARE\\Quillmarsh\\morvelFlag";
inline constexpr char kDriverKey[] = "SOFTWARE\\Quillmarsh\\Tavik\\driver";
inline constexpr char kWinlogonKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
inline constexpr char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr char kProgramPath[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskunseal.exe";

struct ProgramRun {
  int exit_code = -1;
  std::string err;
};

class UninstallProgramTest : public ::testing::Test {
 protected:
  // free_bytes: what drive D: has free.
  explicit UninstallProgramTest(uint64_t free_bytes = 20ull << 30);

  // Runs diskunseal (the program built beside this test) until it ends, with the script as its user.
  ProgramRun RunDiskunseal(const xp::ui::Script& script) const;
  // From here on the runs stop at the hand-over to the engine, which says on stderr how the user came in.
  void StopAtTheEngine() { program_ = "diskunseal_handover_probe"; }

  // The registry as programs see it, and set as the install or a first start leaves it.
 public:
  // The machine as the first start leaves it: activation off, the system's own logon back.
  static void AsSecondStart();
  static void SetText(HKEY root, const std::string& key, const std::string& name, const std::string& text);
  static void SetNostart(DWORD value);
  static std::optional<std::string> Text(HKEY root, const std::string& key, const std::string& name);
  static std::optional<DWORD> Nostart();
  static std::optional<std::string> Gina() { return Text(HKEY_LOCAL_MACHINE, kWinlogonKey, "GinaDLL"); }
  static std::optional<std::string> RunSetup() { return Text(HKEY_LOCAL_MACHINE, kRunOnceKey, "RunSetup"); }


 protected:
  // The Key Answer to this install's Key Puzzle (the 32 hex digits of KN), and the file key it opens as the
  // report's "Decryption Key" (the CFK's 32 lower-case digits).
  const std::string& key_answer() const { return key_answer_; }
  const std::string& cfk_text() const { return cfk_text_; }

  static xp::ui::Script& AnswerMessage(xp::ui::Script& script, const std::string& caption);
  // The texts the message dialog showed, in order.
  std::vector<std::string> MessagesShown() const;
  bool Shown(const std::string& text) const;
  // Every line the UI journal holds.
  std::vector<std::string> UiLines() const;
  static void Remove(const std::string& path) { DeleteFileA(path.c_str()); }
  static std::string InstallFile(const std::string& name) {
    return std::string("C:\\Program Files\\Quillmarsh\\Tavik\\XP\\") + name;
  }

 private:
  xp::test::ScratchMachine machine_;
  std::string key_answer_;
  std::string cfk_text_;
  std::string program_ = "diskunseal";
};

}  // namespace tavik::diskunseal::testing
