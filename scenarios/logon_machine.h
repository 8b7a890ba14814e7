// A machine after a whole install, used as a person uses it: xpmachine made it, the outside installer copied the
// system in and diskseal encrypted it (its user answering by script), and from then on every step is a real boot
// (`xpmachine boot`: every process ends, the kernel starts afresh, Winlogon loads the logon component that
// "GinaDLL" names) answered by a UI script, with files read through the machine (`xpmachine type`) or off its disk.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "xp/faults.h"

namespace tavik::scenarios {

inline constexpr char kTokenPassword[] = "Secret12";
inline constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";

// The user's files the install encrypts: Windows path and plain content.
const std::map<std::string, std::string>& ProtectedFiles();

class LogonMachine {
 public:
  // Makes and installs the machine; throws std::runtime_error when the install does not end as it should.
  LogonMachine();
  ~LogonMachine();
  LogonMachine(const LogonMachine&) = delete;
  LogonMachine& operator=(const LogonMachine&) = delete;

  const std::filesystem::path& root() const { return root_; }

  // A real boot answered by `script` (the UI script's text); xpmachine's exit code (0: Winlogon ran to its end, or
  // the script ended with the person gone from the keys: Winlogon stopped waiting for the next Ctrl+Alt+Del).
  int Boot(const std::string& script, bool safe_mode = false);
  // The journal's lines written since the last boot began, without their clock and pid.
  std::vector<std::string> LastBoot() const;
  // A file as the machine's programs read it now; nullopt when the machine cannot open it.
  std::optional<std::string> Read(const std::string& windows_path) const;
  // A file of the machine's disk as it lies there; nullopt when it is not there.
  std::optional<std::string> OnDisk(const std::string& windows_path) const;
  void PutOnDisk(const std::string& windows_path, const std::string& bytes) const;
  // A registry value as `xpmachine reg query` shows it (its line: name, type and data), empty when it is not there;
  // setting a text value of an HKLM key.
  std::string Registry(const std::string& key, const std::string& name) const;
  void SetRegistryText(const std::string& key, const std::string& name, const std::string& text) const;
  // Whether an HKLM key is there.
  bool RegistryKeyExists(const std::string& key) const;
  // The names in the install folder, as they lie on the disk; none when the folder is gone.
  std::vector<std::string> InstallFolder() const;
  // Runs a program inside the machine (a built program of the tests, or a Windows path on its drives) with its
  // arguments, as its programs run; the program's exit code.
  int Run(const std::string& program, const std::vector<std::string>& arguments = {}) const;
  // Waits (a minute at most) until no process of the image named `image` runs on the machine: a program that one of
  // the last boot's programs started and left running. False when one still does.
  bool AwaitEnded(const std::string& image) const;
  // The Key Puzzle the logon dialog showed last; the maker's web service's Key Answer to it.
  std::string LastPuzzle() const;
  std::string KeyAnswer(const std::string& puzzle) const;
  // The S1 record of the machine's token, plugged or not: S1 and its check copy (user page 2, bytes 4-35).
  std::string TokenS1Record() const;
  void UnplugToken() const;
  void PlugToken() const;
  // A second token, plugged in place of the machine's; its password is still the factory's empty one.
  void SwapInOtherToken();
  // Faults of the machine, armed from this process for the programs of the next boot.
  void Arm(const xp::machine::Fault& fault) const;
  void ClearFaults() const;
  // How many calls the armed faults have counted (the "calls=" of each line of DIR/faults, summed).
  uint32_t CountedCalls() const;

 private:
  std::filesystem::path base_;
  std::filesystem::path root_;
  size_t boot_line_ = 0;
};

// Bytes as hex digits, lower case, as the logon dialog shows a Key Puzzle.
std::string Hex(const std::string& bytes);

// Script pieces, in the UI script's text form: Ctrl+Alt+Del at the welcome notice and the token's password in the
// logon dialog; the first logon's account added to the token (the machine's Administrator) and the install's
// finishing run (its congratulations, and the registration program it starts, which the person cancels); the
// account the token keeps chosen at a later logon; the welcome notice's Enter, then the Key
// Answer typed in the logon dialog and the system's own logon; shutting down from the logon dialog or the desktop.
std::string TokenLogOn(const std::string& password = kTokenPassword);
std::string FirstAccount();
std::string InstallFinishes();
std::string KeptAccount();
std::string KeyAnswerLogOn(const std::string& answer);
std::string ShutDownFromLogon();
std::string ShutDownFromDesktop();

}  // namespace tavik::scenarios
