// The machine's process table as other processes see it: listing, waiting for an end, terminating and the
// privileges a process has enabled.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "machine_private.h"
#include "process_records.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kNoTimeout = 0xFFFFFFFFu;

ProcessRecord PseudoEntry(uint32_t pid, const char* image) {
  ProcessRecord record;
  record.pid = pid;
  record.image = image;
  record.account = "SYSTEM";
  record.live = true;
  record.pseudo = true;
  return record;
}

std::vector<ProcessRecord> PseudoEntries() {
  return {PseudoEntry(kIdleProcessId, "[System Process]"), PseudoEntry(kSystemProcessId, "System")};
}

std::optional<uint32_t> PidOfRecordName(const std::string& name) {
  if (name.empty() || name.size() > 9 || !std::all_of(name.begin(), name.end(), ::isdigit)) return std::nullopt;
  return static_cast<uint32_t>(std::stoul(name));
}

bool LockShared(int fd, uint32_t timeout_ms) {
  if (timeout_ms == kNoTimeout) {
    while (::flock(fd, LOCK_SH) != 0) {
      if (errno != EINTR) return true;  // nothing more can be learned; take it as ended
    }
    return true;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) return true;
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

// A host process pinned (through a pidfd where the kernel has them) and checked to be the one that started at
// `host_start`, so that a signal never reaches a process that merely reuses its pid.
class PinnedHostProcess {
 public:
  PinnedHostProcess(pid_t host_pid, uint64_t host_start) : host_pid_(host_pid) {
    pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, host_pid, 0));
    const bool pinned = pidfd_ >= 0 || errno == ENOSYS;
    same_ = pinned && host_start != 0 && HostStartTime(host_pid) == host_start;
  }
  ~PinnedHostProcess() {
    if (pidfd_ >= 0) ::close(pidfd_);
  }
  PinnedHostProcess(const PinnedHostProcess&) = delete;
  PinnedHostProcess& operator=(const PinnedHostProcess&) = delete;

  bool same() const { return same_; }
  void Kill() const { Signal(SIGKILL); }
  bool Signal(int signal) const {
    if (pidfd_ >= 0) return ::syscall(SYS_pidfd_send_signal, pidfd_, signal, nullptr, 0) == 0;
    return ::kill(host_pid_, signal) == 0;
  }

 private:
  pid_t host_pid_;
  int pidfd_ = -1;
  bool same_ = false;
};

}  // namespace

std::string ProcessRecord::ExeFile() const {
  const size_t separator = image.find_last_of('\\');
  return separator == std::string::npos ? image : image.substr(separator + 1);
}

uint32_t ProcessRecord::ExitCodeOrStillActive() const {
  if (live) return kStillActive;
  return exit_code.value_or(kCrashedExitCode);
}

std::vector<ProcessRecord> ListProcesses(bool live_only) {
  const fs::path& root = Root();
  std::vector<ProcessRecord> records;
  std::error_code error;
  for (fs::directory_iterator it(root / kProcessesFolder, error), end; !error && it != end; it.increment(error)) {
    const std::optional<uint32_t> pid = PidOfRecordName(it->path().filename().string());
    if (!pid) continue;
    std::optional<ProcessRecord> record = ReadRecord(root, *pid);
    if (record && (record->live || !live_only)) records.push_back(std::move(*record));
  }
  std::sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.pid < b.pid; });
  std::vector<ProcessRecord> all = PseudoEntries();
  all.insert(all.end(), records.begin(), records.end());
  return all;
}

std::optional<ProcessRecord> FindProcess(uint32_t pid) {
  for (const ProcessRecord& pseudo : PseudoEntries()) {
    if (pseudo.pid == pid) return pseudo;
  }
  return ReadRecord(Root(), pid);
}

bool WaitForProcessEnd(uint32_t pid, uint32_t timeout_ms) {
  const int fd = ::open(RecordPath(Root(), pid).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  const bool ended = LockShared(fd, timeout_ms);
  ::close(fd);
  return ended;
}

TerminateOutcome TerminateMachineProcess(uint32_t pid, uint32_t exit_code) {
  const fs::path& root = Root();
  const std::optional<ProcessRecord> record = ReadRecord(root, pid);
  if (!record || !record->live) return TerminateOutcome::kNotLive;
  if (!record->launched || record->host_pid <= 0) return TerminateOutcome::kRefused;
  const PinnedHostProcess target(record->host_pid, record->host_start);
  if (!target.same()) return TerminateOutcome::kRefused;
  // Recorded before the signal: once the process reads as ended, its code is there.
  AppendToRecord(root, pid, RecordLine("exit_code", std::to_string(exit_code)));
  target.Kill();
  JournalAt(root, "terminate pid " + std::to_string(pid) + " code " + std::to_string(exit_code));
  return TerminateOutcome::kTerminated;
}

std::vector<pid_t> FreezeLaunchedProcesses() {
  const pid_t self = ::getpid();
  std::vector<pid_t> frozen;
  for (const ProcessRecord& record : ListProcesses(true)) {
    if (!record.launched || record.host_pid <= 0 || record.host_pid == self) continue;
    const PinnedHostProcess target(record.host_pid, record.host_start);
    if (target.same() && target.Signal(SIGSTOP)) frozen.push_back(record.host_pid);
  }
  return frozen;
}

void KillFrozenProcesses(const std::vector<pid_t>& frozen) {
  // A stopped process cannot end or be reaped by itself, so its pid still names it.
  for (const pid_t pid : frozen) ::kill(pid, SIGKILL);
}

void SetEnabledPrivileges(uint32_t pid, const std::vector<std::string>& privileges) {
  std::string joined;
  for (const std::string& privilege : privileges) joined += (joined.empty() ? "" : ",") + privilege;
  AppendToRecord(Root(), pid, RecordLine("privileges", joined));
}

}  // namespace xp::machine
