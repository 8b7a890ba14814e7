// The calling process's record: adopted from the process that launched it, or made when a host process enters the
// machine; its account kept in step with XPMACHINE_USER; its exit code recorded at exit, in full 32 bits (glibc's
// on_exit hears exit()'s and main's int, where Linux keeps only 8 bits). A process may enter several machines in
// turn (a test making one machine per case): it has one registration per machine folder.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <system_error>

#include "machine_private.h"
#include "process_records.h"
#include "xp/accounts.h"
#include "xp/drive_paths.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

namespace fs = std::filesystem;

struct Registration {
  fs::path root;
  uint32_t pid = 0;
  int fd = -1;  // holds the record's lock for the life of the process; appends
  pid_t host_pid = 0;
  bool launched = false;
};

struct Registrations {
  std::mutex mutex;
  std::vector<Registration> entries;
  bool exit_hook_installed = false;
};

// Never destroyed: the exit hook runs after static destructors.
Registrations& Registered() {
  static Registrations* const registrations = new Registrations;
  return *registrations;
}

std::optional<uint32_t> PidFromVariable() {
  const char* value = std::getenv(kProcessVariable);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
}

// The record our launcher made, if the descriptor it left us is that very file.
std::optional<Registration> Adopt(const fs::path& root) {
  const std::optional<uint32_t> pid = PidFromVariable();
  if (!pid) return std::nullopt;
  struct stat inherited {};
  struct stat recorded {};
  if (::fstat(kInheritedRecordFd, &inherited) != 0 || ::stat(RecordPath(root, *pid).c_str(), &recorded) != 0 ||
      inherited.st_dev != recorded.st_dev || inherited.st_ino != recorded.st_ino) {
    return std::nullopt;
  }
  ::fcntl(kInheritedRecordFd, F_SETFD, FD_CLOEXEC);  // the programs this one starts get records of their own
  const ProcessRecord record = ParseRecordFd(kInheritedRecordFd);
  return Registration{root, *pid, kInheritedRecordFd, ::getpid(), record.launched};
}

std::string HostImage() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  return WindowsPathOf(program).value_or(program.filename().string());
}

// A host process entering the machine: its parent is the machine process that spawned it, if one did.
Registration Enter(const fs::path& root) {
  const std::optional<uint32_t> spawner = PidFromVariable();
  std::error_code error;
  const bool spawner_known = spawner && fs::exists(RecordPath(root, *spawner), error);
  const pid_t host_pid = ::getpid();
  const std::vector<std::string> lines = {
      RecordLine("parent", std::to_string(spawner_known ? *spawner : 0)),
      RecordLine("image", HostImage()),
      RecordLine("account", CurrentAccountName()),
      RecordLine("started", std::to_string(NowMsAt(root))),
      RecordLine("origin", "entered"),
      RecordLine("host_pid", std::to_string(host_pid)),
      RecordLine("host_start", std::to_string(HostStartTime(host_pid))),
  };
  Registration registration{root, 0, -1, host_pid, false};
  registration.fd = CreateRecord(root, lines, &registration.pid);
  return registration;
}

void RecordExit(int status, void*) {
  Registrations& registered = Registered();
  const std::lock_guard<std::mutex> lock(registered.mutex);
  const uint32_t code = static_cast<uint32_t>(status);
  for (const Registration& registration : registered.entries) {
    if (registration.host_pid != ::getpid() || ParseRecordFd(registration.fd).exit_code) continue;
    AppendToRecordFd(registration.fd, RecordLine("exit_code", std::to_string(code)));
    std::error_code error;
    if (registration.launched && fs::exists(RecordPath(registration.root, registration.pid), error)) {
      JournalAt(registration.root, "exit pid " + std::to_string(registration.pid) + " code " + std::to_string(code));
    }
  }
}

// With the mutex held: this process's registration in the machine XPMACHINE names, made on first use.
Registration& Ensure(Registrations& registered) {
  const fs::path root = Root();
  const pid_t host_pid = ::getpid();
  std::error_code error;
  auto& entries = registered.entries;
  // Registrations inherited through fork belong to the parent; those of removed machines are gone.
  const auto stale = std::remove_if(entries.begin(), entries.end(), [&](const Registration& r) {
    return r.host_pid != host_pid || !fs::exists(RecordPath(r.root, r.pid), error);
  });
  std::for_each(stale, entries.end(), [](const Registration& r) { ::close(r.fd); });
  entries.erase(stale, entries.end());
  for (Registration& registration : entries) {
    if (registration.root == root) return registration;
  }
  std::optional<Registration> adopted = Adopt(root);
  entries.push_back(adopted ? *adopted : Enter(root));
  if (!registered.exit_hook_installed) {
    registered.exit_hook_installed = ::on_exit(RecordExit, nullptr) == 0;
  }
  return entries.back();
}

}  // namespace

void RegisterCurrentProcess() {
  Registrations& registered = Registered();
  const std::lock_guard<std::mutex> lock(registered.mutex);
  Ensure(registered);
}

uint32_t CurrentProcessId() {
  Registrations& registered = Registered();
  const std::lock_guard<std::mutex> lock(registered.mutex);
  return Ensure(registered).pid;
}

ProcessRecord CurrentProcess() {
  Registrations& registered = Registered();
  const std::lock_guard<std::mutex> lock(registered.mutex);
  const Registration& registration = Ensure(registered);
  ProcessRecord record = ParseRecordFd(registration.fd);
  record.live = true;
  const std::string account = CurrentAccountName();
  if (record.account != account) {
    AppendToRecordFd(registration.fd, RecordLine("account", account) + RecordLine("privileges", ""));
    record.account = account;
    record.privileges.clear();
  }
  return record;
}

void TerminateCurrentProcess(uint32_t exit_code) {
  {
    Registrations& registered = Registered();
    const std::lock_guard<std::mutex> lock(registered.mutex);
    const Registration& registration = Ensure(registered);
    AppendToRecordFd(registration.fd, RecordLine("exit_code", std::to_string(exit_code)));
    JournalAt(registration.root,
              "terminate pid " + std::to_string(registration.pid) + " code " + std::to_string(exit_code));
  }
  ::_exit(static_cast<int>(exit_code & 0xFF));
}

void ExitAtOnce(uint32_t exit_code) {
  RecordExit(static_cast<int>(exit_code), nullptr);
  ::_exit(static_cast<int>(exit_code & 0xFF));
}

}  // namespace xp::machine
