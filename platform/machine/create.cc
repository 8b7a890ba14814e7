// Making a new machine folder. The layout, all plain files a person can read:
//   machine.ini        the description, "key = value" lines:
//                        computer_name, edition (Professional | Home), locale (LCID, hex), ansi_code_page,
//                        safe_mode (yes | no), created (host time in ms since 1970: the zero of the real clock),
//                        machine_id (three decimal numbers a-b-c: the accounts' SIDs are S-1-5-21-a-b-c-RID),
//                        drive.<L>.type (fixed | removable | cdrom | remote), drive.<L>.file_system,
//                        drive.<L>.volume_serial (8 hex digits), drive.<L>.free_bytes,
//                        password_history (how many passwords an account must not reuse; absent: none),
//                        account.<n>.name, account.<n>.password, account.<n>.administrator (yes | no), n = 1, 2, ...,
//                        and when set account.<n>.full_name, .disabled, .must_change_password, .lan_challenge (yes);
//                        and, written by hand only: windows (98 | Me | Win32s: the version programs are told; XP
//                        when absent)
//   sam.ini            what the accounts learnt since (changed passwords, their history), over machine.ini
//   drives/<L>/        the contents of drive L: (C: starts with WINDOWS/system32, Program Files and the BOOT.INI
//                      that starts Windows from C:\WINDOWS)
//   devices/           plugged devices and their state (the emulated token), the pending-installation mark
//   broadcasts         the messages sent to every window of the machine (WM_DEVICECHANGE)
//   objects/           named objects shared by the machine's processes (mutexes)
//   processes/         the process table, one record per process (see process_table.cc)
//   journal.log        what a user or a test would observe, one stamped line per event
//   clock              the virtual clock in ms (used under XPMACHINE_CLOCK=virtual)
// machine.ini is written last: a folder without it is not a machine, so a failed creation leaves none.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

#include "machine_private.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

namespace fs = std::filesystem;

void Require(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error("cannot create machine: " + what);
}

bool IsOneLine(const std::string& text) { return text.find_first_of("\r\n") == std::string::npos; }

void CheckOptions(const MachineOptions& options) {
  Require(!options.computer_name.empty() && IsOneLine(options.computer_name), "bad computer name");
  Require(options.edition == "Professional" || options.edition == "Home", "edition must be Professional or Home");
  Require(!options.locale.empty() && IsOneLine(options.locale), "bad locale");
  std::set<char> letters;
  for (const DriveOptions& drive : options.drives) {
    Require(drive.letter >= 'A' && drive.letter <= 'Z', "drive letters are A to Z");
    Require(letters.insert(drive.letter).second, std::string("drive ") + drive.letter + ": given twice");
    Require(drive.type == "fixed" || drive.type == "removable" || drive.type == "cdrom" || drive.type == "remote",
            "bad drive type " + drive.type);
    Require(!drive.file_system.empty() && IsOneLine(drive.file_system), "bad file-system name");
  }
  std::set<std::string> names;
  for (const AccountOptions& account : options.accounts) {
    Require(!account.name.empty() && IsOneLine(account.name), "bad account name");
    Require(names.insert(account.name).second, "account " + account.name + " given twice");
    Require(IsOneLine(account.password), "a password cannot hold a line break");
    Require(IsOneLine(account.full_name), "a full name cannot hold a line break");
  }
}

std::string Describe(const MachineOptions& options) {
  const auto created =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch());
  std::ostringstream ini;
  ini << "# The description of a simulated Windows XP machine.\n"
      << "computer_name = " << options.computer_name << "\n"
      << "edition = " << options.edition << "\n"
      << "locale = " << options.locale << "\n"
      << "ansi_code_page = " << options.ansi_code_page << "\n"
      << "safe_mode = " << (options.safe_mode ? "yes" : "no") << "\n"
      << kCreatedKey << " = " << created.count() << "\n"
      << "machine_id = " << options.machine_id[0] << "-" << options.machine_id[1] << "-" << options.machine_id[2]
      << "\n";
  if (options.password_history > 0) ini << "password_history = " << options.password_history << "\n";
  for (const DriveOptions& drive : options.drives) {
    char serial[9];
    std::snprintf(serial, sizeof serial, "%08X", drive.volume_serial);
    const std::string prefix = std::string("drive.") + drive.letter + ".";
    ini << prefix << "type = " << drive.type << "\n"
        << prefix << "file_system = " << drive.file_system << "\n"
        << prefix << "volume_serial = " << serial << "\n"
        << prefix << "free_bytes = " << drive.free_bytes << "\n";
  }
  int number = 1;
  for (const AccountOptions& account : options.accounts) {
    const std::string prefix = "account." + std::to_string(number++) + ".";
    ini << prefix << "name = " << account.name << "\n"
        << prefix << "password = " << account.password << "\n"
        << prefix << "administrator = " << (account.administrator ? "yes" : "no") << "\n";
    if (!account.full_name.empty()) ini << prefix << "full_name = " << account.full_name << "\n";
    if (account.disabled) ini << prefix << "disabled = yes\n";
    if (account.must_change_password) ini << prefix << "must_change_password = yes\n";
    if (account.lan_challenge) ini << prefix << "lan_challenge = yes\n";
  }
  return ini.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  file.close();
  Require(static_cast<bool>(file), "cannot write " + path.string());
}

// Written beside its final name and renamed, so the description appears whole or not at all.
void WriteFileAtomically(const fs::path& path, const std::string& content) {
  const fs::path temporary = path.string() + ".new";
  WriteFile(temporary, content);
  fs::rename(temporary, path);
}

// The boot menu of a computer with Windows on the first partition, as XP's setup leaves it.
std::string BootIni(const MachineOptions& options) {
  const std::string name = options.edition == "Home" ? "Microsoft Windows XP Home Edition"
                                                     : "Microsoft Windows XP " + options.edition;
  return "[boot loader]\r\ntimeout=30\r\ndefault=multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS\r\n"
         "[operating systems]\r\nmulti(0)disk(0)rdisk(0)partition(1)\\WINDOWS=\"" +
         name + "\" /fastdetect\r\n";
}

}  // namespace

void Create(const fs::path& dir, const MachineOptions& options) {
  CheckOptions(options);
  Require(!fs::exists(dir) || (fs::is_directory(dir) && fs::is_empty(dir)),
          dir.string() + " exists and is not an empty folder");
  fs::create_directories(dir);
  for (const DriveOptions& drive : options.drives) {
    const fs::path root = dir / "drives" / std::string(1, drive.letter);
    fs::create_directories(root);
    if (drive.letter == 'C') {
      fs::create_directories(root / "WINDOWS" / "system32");
      fs::create_directories(root / "Program Files");
      WriteFile(root / "BOOT.INI", BootIni(options));
    }
  }
  fs::create_directories(dir / "devices");
  fs::create_directories(dir / "objects");
  fs::create_directories(dir / kProcessesFolder);
  WriteFile(dir / kJournalFile, "");
  WriteFile(dir / kClockFile, "0\n");
  WriteFileAtomically(dir / kDescriptionFile, Describe(options));
}

}  // namespace xp::machine
