// Access to the simulated machine this process runs in: a folder named by the XPMACHINE environment variable.
// Never included by system code.
#pragma once

#include <array>
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
// The machine's date and time: milliseconds since 1970-01-01 00:00 UTC, the creation time plus NowMs(). The
// machine's time zone is UTC, so its local time is this time too.
uint64_t UnixTimeMs();

// Appends one line to the machine's journal (what a user or a test would observe), stamped with the clock:
// "<ms> <pid> <what>\n". Line breaks inside `what` are written as "\n" so that one call stays one line.
void Journal(const std::string& what);

// The machine description (DIR/machine.ini): key = value lines.
std::optional<std::string> Setting(const std::string& key);

// A restart asked for by ExitWindowsEx: journals "restart requested (flags N)" and leaves DIR/restart-requested
// ("flags = N") for the boot code to act on. PendingRestart gives the flags of the latest request, if any.
void RequestRestart(uint32_t flags);
std::optional<uint32_t> PendingRestart();
// A booting machine takes the request up: it is gone once the restart has begun.
void ClearRestartRequest();

// How this boot started, as GetSystemMetrics(SM_CLEANBOOT) reports it (0, 1, 2). The boot sets it; it lasts until
// the next boot. A description with "safe_mode = yes" always gives kSafe.
enum class BootMode { kNormal = 0, kSafe = 1, kSafeWithNetworking = 2 };
BootMode CurrentBootMode();
void SetBootMode(BootMode mode);

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
  std::string full_name = "";
  bool disabled = false;
  bool must_change_password = false;
  bool lan_challenge = false;  // the LAN agent challenges the workstation at its logons
};

struct MachineOptions {
  std::string computer_name = "WORKSTATION";
  std::string edition = "Professional";
  std::string locale = "0409";
  uint32_t ansi_code_page = 1252;
  bool safe_mode = false;
  // How many passwords an account must not reuse, the current one included (XP's "Enforce password history");
  // 0: none.
  int password_history = 0;
  std::vector<DriveOptions> drives = {DriveOptions{}};
  std::vector<AccountOptions> accounts = {{"Administrator", "admin", true}, {"User", "user", false}};
  // The machine's own security identity: its accounts' SIDs are S-1-5-21-<id[0]>-<id[1]>-<id[2]>-<RID>.
  std::array<uint32_t, 3> machine_id = {2780515405u, 1203581476u, 3921187024u};
};

// Makes a machine in `dir`, which must not exist or be empty; throws std::runtime_error on failure. The folder
// layout and the machine.ini keys are described at the top of create.cc.
void Create(const std::filesystem::path& dir, const MachineOptions& options = MachineOptions{});

}  // namespace xp::machine
