// The removal of the protection from the whole-install machine of install_machine.h: by diskunseal over its two
// starts after a whole install, or by diskseal's give-up of an install that crashed in its first pass. The programs
// run as at the machine's logons, answered as the machine's state says each start will go; one file never
// decrypts (its rename to the temporary name always fails), so each run ends with a report and its key. The end
// state is captured for comparison with another run.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "install_machine.h"

namespace tavik::scenarios {

// The file that no removal can decrypt: it stays encrypted, listed and reported.
inline constexpr char kStuckFile[] = "D:\\root.txt";

// What a removal leaves: every file of the fixed drives as it lies on the disk ("<attributes> <digest>"), the
// install folder's lists of the removal and the report's key, and the registry values and token record that the
// install made.
struct RemovalState {
  std::map<std::string, std::string> files;
  std::map<std::string, std::string> lists;
  std::string report_key;
  std::map<std::string, std::string> registry;
  bool operator==(const RemovalState&) const = default;
};

class UninstallMachine {
 public:
  // A whole install, or (`crash_in_first_pass`) an install crashed after its first files were encrypted; then
  // diskunseal, the uninstall command and the file that does not decrypt.
  explicit UninstallMachine(bool crash_in_first_pass = false);

  InstallMachine& machine() { return machine_; }
  // Whether diskseal gives the install up (else diskunseal removes a whole install).
  bool gives_up() const { return gives_up_; }
  const std::filesystem::path& root() const { return machine_.root(); }

  // diskunseal as the user starts it (its first start, at the desktop of the install's token logon, both warnings
  // accepted), or as RunOnce brings it (its second start), answered as the machine's state says. With an
  // `interruption`, it is armed once the answers are made, so that it hits the program alone. The exit code.
  int RunDiskunseal(const std::optional<xp::machine::Fault>& interruption = std::nullopt);
  // The restart a first start (or the install's crash) asked for, to the system's own logon; the program RunOnce
  // would bring is left for RunDiskunseal or RunGiveUp. False when the boot fails.
  bool BootWithoutRunOnce();
  // diskseal as RunOnce brings it after an install crashed in its first pass: the install given up.
  int RunGiveUp(const std::optional<xp::machine::Fault>& interruption = std::nullopt);
  // Real boots, answering each start RunOnce brings as the machine's state says, until it brings none; a first
  // start interrupted before it armed RunOnce is started again by the user. False when a boot fails or RunOnce
  // still brings a program after `limit` boots.
  bool RunToTheEnd(int limit);

  // Disarms the interruption's fault; the stuck file stays stuck.
  void ClearInterruption();

  RemovalState State() const;
  // The file that does not decrypt: kStuckFile, or in the give-up the first the install encrypted.
  const std::string& stuck_file() const { return stuck_file_; }
  // The file key (CFK) as the install's records held it before the removal, as 32 lower-case hex digits.
  const std::string& installed_key() const { return installed_key_; }
  // How often the user had to start the removal again: an interruption came before it armed RunOnce.
  int started_again() const { return started_again_; }

 private:
  // What diskunseal's or diskseal's user answers at its coming start.
  void AnswerDiskunseal(xp::ui::Script& script) const;
  void AnswerDiskseal(xp::ui::Script& script) const;
  void AnswerGiveUp(xp::ui::Script& script) const;
  void AnswerUninstallEngine(xp::ui::Script& script) const;
  void ArmStuckFile() const;
  int Run(const char* program, const xp::ui::Script& script, const std::optional<xp::machine::Fault>& interruption);

  InstallMachine machine_;
  bool gives_up_;
  std::string stuck_file_;
  std::string installed_key_;
  int started_again_ = 0;
};

}  // namespace tavik::scenarios
