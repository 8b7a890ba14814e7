// A small machine for whole installs: two fixed drives and a CD-ROM, the files of a user (read-only, sparse,
// compressed, empty and odd-length ones, excluded and listed folders), the registry of a fresh installation, a
// clean token, and the outside installer's work (the flag key, its lists, the programs diskseal starts). diskseal
// runs on it as at each administrator logon, answered by the script its start needs; restarts and crashes are
// taken up as Windows takes them up; and the machine's end state is captured for comparison with another run.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crash_points.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/faults.h"
#include "xp/ui_script.h"
#include "xp/websvc.h"

namespace tavik::scenarios {

inline constexpr char kPassword[] = "secret12";
inline constexpr int kCrashedExitCode = 128 + 9;  // the program was killed at a crash point

// What one boot of the machine did: whether it booted and Winlogon ran to its end, and whether RunOnce started
// diskseal at the logon (with the exit code it ended with).
struct BootRun {
  bool booted = false;
  bool diskseal_started = false;
  int diskseal_exit_code = -1;
};

struct UserFile {
  std::string path;
  std::string content;
  DWORD attributes = 0;  // FILE_ATTRIBUTE_READONLY, _HIDDEN; 0: normal
  bool compressed = false;
  bool sparse = false;
  bool eligible = false;  // the install must encrypt it
  bool efs = false;
};

// What the comparison looks at: every file of the fixed drives outside the install folder as it lies on the disk,
// read as the system reads it (a file the history lists is decrypted once with the key the install's records hold)
// and kept as "encrypted|plain <attributes> <digest>", and the digest of each as the machine's programs read it
// now; the install folder's lists, and the registry values the install writes.
struct MachineState {
  std::map<std::string, std::string> files;
  std::map<std::string, std::string> read;
  std::map<std::string, std::string> install_lists;
  std::map<std::string, std::string> registry;
  bool operator==(const MachineState&) const = default;
};

// The registration program diskseal starts when the install is finished: a stand-in that ends at once, or the real
// one, with the web service running for the machine and its user typing the token password.
enum class RegistrationTool { kStub, kReal };

class InstallMachine {
 public:
  explicit InstallMachine(RegistrationTool tool = RegistrationTool::kStub);
  ~InstallMachine();
  InstallMachine(const InstallMachine&) = delete;
  InstallMachine& operator=(const InstallMachine&) = delete;

  const std::filesystem::path& root() const { return root_; }
  static const std::vector<UserFile>& UserFiles();

  // The installer starts diskseal (a process of the machine, from its drive), whose user goes through a first
  // install; the exit code (128 + 9 when it was killed).
  int RunFirstInstall();
  // The machine boots for real (after a crash, a power loss, or as the install asked): every process ends, the
  // kernel starts afresh, the token loses its volatile state, Winlogon runs; the administrator logs on through the
  // GINA that "GinaDLL" names (the system's own logon dialog, or, once the install named it, the logon component:
  // Ctrl+Alt+Del, the token's password, the account the token keeps, and the file key handed to the driver),
  // RunOnce starts diskseal if "RunSetup" is there, and its user answers what that start shows.
  BootRun RestartAndLogOn();
  // The general form, for runs other than the install's (an uninstall, a key rotation): the machine boots for real
  // and the administrator logs on; `answer_programs` appends what the user answers the programs the logon starts.
  BootRun BootAndLogOn(const std::function<void(xp::ui::Script&)>& answer_programs);
  // Boots until diskseal is no longer brought back; false when a boot fails or it still is after `limit` boots.
  bool RunToTheEnd(int limit);

  // A program of the machine's drive started as its user starts it (as the administrator), its user answering by
  // `script`; the exit code (128 + 9 when it was killed).
  int RunProgram(const std::string& windows_program, const xp::ui::Script& script);

  // A file as the machine's programs read it now (through the driver once it holds the key).
  std::optional<std::string> Read(const std::string& path) const;
  // With the real registration program: waits (a minute at most) until it has ended and the web service holds
  // what the browser it opened handed in; the service's registrations.
  std::vector<xp::websvc::Registration> AwaitRegistration() const;
  // The requests the web service got.
  std::vector<xp::websvc::RequestRecord> WebRequests() const;

  bool RunSetupArmed() const;
  // Whether "GinaDLL" names the logon component, which the next boot's Winlogon then loads.
  bool LogonComponentNamed() const;
  std::optional<std::string> Flag() const;
  MachineState State() const;
  // The UI lines of the journal.
  std::vector<std::string> UiJournal() const;

 private:
  // Appends what diskseal's user answers at its coming start, as the machine's state says it will go.
  void AnswerThisStart(xp::ui::Script& script) const;
  // The machine pid of the latest diskseal process; 0 when none ran.
  uint32_t LastDisksealPid() const;

  xp::test::ScratchMachine machine_;
  const std::filesystem::path root_;
  RegistrationTool tool_;
  std::unique_ptr<xp::websvc::Server> web_;
  std::string token_;
  std::string computer_name_;
  bool account_on_token_ = false;  // a token logon added the administrator to the token's accounts
  std::array<uint8_t, 64> clean_password_block_ = {};  // what the token holds before any password is set
};

// A file of the install folder; a text's non-empty lines, without their CR, sorted.
std::string InInstallFolder(const std::string& name);
std::vector<std::string> SortedLines(const std::string& text);

// The machine's files and registry as this process (entered in the machine) writes and reads them: a file written
// (its folders made), a file read (nullopt when it does not open), a value as "<type>:<bytes>" ("-" when it is not
// there), and a program or library of the build put on the drive as the outside installer puts it (executable).
void Put(const std::string& path, const std::string& bytes);
std::optional<std::string> Get(const std::string& path);
std::string RegistryValue(HKEY root, const std::string& key, const std::string& name);
// A file as it lies on the drive's folder, past any driver (what the kernel's cache wrote back so far).
std::optional<std::string> OnDisk(const std::string& path);
void PlaceBuilt(const std::string& built, const std::string& windows_path);

// The expanded file key the install's records hold (33 bytes), as the logon rebuilds it through the token; empty
// when they do not open.
std::string InstalledKey();

// A short fingerprint of a file's content (FNV-1a, 64 bits, and the length), so that a difference reads well.
std::string Digest(const std::string& content);

// The file and registry calls of the machine after which a crash leaves a different state: the points the crash
// harness crashes at, each with how many ctest entries its points are spread over.
const std::vector<CrashOperation>& MutatingOperations();
// How many ctest entries the power losses after each write that reached the kernel are spread over.
inline constexpr uint32_t kKernelWriteParts = 4;

}  // namespace tavik::scenarios
