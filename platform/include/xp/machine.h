// Access to the simulated machine this process runs in: a folder named by the XPMACHINE environment variable.
// Never included by system code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace xp::machine {

// The machine folder; aborts with a clear message when XPMACHINE is not set or names no machine. XPMACHINE is
// read again on every call, so a process (a test) may move from one machine to another.
const std::filesystem::path& Root();
// True when XPMACHINE names a machine folder.
bool Present();

// The machine's clock in milliseconds since the machine was created. Under XPMACHINE_CLOCK=virtual, Sleep
// advances it at once; otherwise it follows real time.
uint64_t NowMs();
void SleepMs(uint32_t ms);
bool VirtualClock();

// Appends one line to the machine's journal (what a user or a test would observe), stamped with the clock:
// "<ms> <pid> <what>\n". Line breaks inside `what` are written as "\n" so that one call stays one line.
void Journal(const std::string& what);

// The machine description (DIR/machine.ini): key = value lines.
std::optional<std::string> Setting(const std::string& key);

// What a new machine looks like; the defaults make an English-locale XP Professional with one fixed NTFS drive C:,
// an administrator and an ordinary user.
struct DriveOptions {
  char letter = 'C';
  std::string type = "fixed";
  std::string file_system = "NTFS";
  uint32_t volume_serial = 0x5A3C71E4;
  uint64_t free_bytes = 20ull << 30;
};

struct AccountOptions {
  std::string name;
  std::string password;
  bool administrator = false;
};

struct MachineOptions {
  std::string computer_name = "WORKSTATION";
  std::string edition = "Professional";
  std::string locale = "0409";
  uint32_t ansi_code_page = 1252;
  bool safe_mode = false;
  std::vector<DriveOptions> drives = {DriveOptions{}};
  std::vector<AccountOptions> accounts = {{"Administrator", "admin", true}, {"User", "user", false}};
};

// Makes a machine in `dir`, which must not exist or be empty; throws std::runtime_error on failure. The folder
// layout and the machine.ini keys are described at the top of create.cc.
void Create(const std::filesystem::path& dir, const MachineOptions& options = MachineOptions{});

}  // namespace xp::machine
