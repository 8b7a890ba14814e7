// The service as people run it: `xpmachine web start DIR` starts xp_websvc for the machine in its own session (it
// outlives the command), waits until its record says it listens, and `xpmachine web stop DIR` ends that very process:
// the record's pid, checked to be xp_websvc serving DIR before it is signalled.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "xp/websvc.h"

namespace xp::websvc {
namespace {

namespace fs = std::filesystem;

constexpr auto kWait = std::chrono::seconds(10);

fs::path RecordFile(const fs::path& machine) { return machine / "web" / "server"; }

// The process's arguments, or empty when it does not exist.
std::vector<std::string> CommandLineOf(int pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::vector<std::string> arguments;
  for (std::string argument; std::getline(file, argument, '\0');) arguments.push_back(argument);
  return arguments;
}

// True while the process lives (a zombie has ended).
bool Alive(int pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(file, stat)) return false;
  const size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

// The record's process when it is the service of this machine, alive.
std::optional<ServiceRecord> RunningService(const fs::path& machine) {
  const std::optional<ServiceRecord> record = ReadServiceRecord(machine);
  if (!record || !Alive(record->pid)) return std::nullopt;
  const std::vector<std::string> arguments = CommandLineOf(record->pid);
  if (arguments.size() != 2 || fs::path(arguments[0]).filename() != "xp_websvc" ||
      fs::weakly_canonical(arguments[1]) != fs::weakly_canonical(machine)) {
    return std::nullopt;
  }
  return record;
}

}  // namespace

std::optional<ServiceRecord> ReadServiceRecord(const fs::path& machine) {
  std::ifstream file(RecordFile(machine));
  ServiceRecord record;
  for (std::string key, equals, value; file >> key >> equals >> value;) {
    if (equals != "=") return std::nullopt;
    const auto number = [&value](auto* out) {
      const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), *out);
      return failure == std::errc() && end == value.data() + value.size();
    };
    const bool read = key == "pid"          ? number(&record.pid)
                      : key == "http_port"  ? number(&record.http_port)
                      : key == "https_port" ? number(&record.https_port)
                                            : true;
    if (!read) return std::nullopt;
  }
  if (record.pid <= 0 || record.http_port == 0 || record.https_port == 0) return std::nullopt;
  return record;
}

bool StartService(const fs::path& program, const fs::path& machine, std::string* error) {
  if (RunningService(machine)) {
    *error = "the web service already runs for the machine";
    return false;
  }
  std::error_code ignored;
  fs::create_directories(machine / "web", ignored);
  fs::remove(RecordFile(machine), ignored);
  const fs::path log = machine / "web" / "server.log";
  const pid_t child = ::fork();
  if (child < 0) {
    *error = "cannot start " + program.string();
    return false;
  }
  if (child == 0) {
    ::setsid();
    const int null_fd = ::open("/dev/null", O_RDONLY);
    const int log_fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (null_fd < 0 || log_fd < 0) ::_exit(127);
    ::dup2(null_fd, 0);
    ::dup2(log_fd, 1);
    ::dup2(log_fd, 2);
    ::close_range(3, ~0u, 0);
    ::execl(program.c_str(), program.c_str(), machine.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + kWait;
  while (std::chrono::steady_clock::now() < deadline) {
    const std::optional<ServiceRecord> record = ReadServiceRecord(machine);
    if (record && record->pid == child) return true;
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(child, SIGTERM);
  ::waitpid(child, nullptr, 0);
  *error = "the web service did not come up (see " + log.string() + ")";
  return false;
}

bool StopService(const fs::path& machine, std::string* error) {
  const std::optional<ServiceRecord> record = RunningService(machine);
  if (!record) {
    *error = "the web service does not run for the machine";
    return false;
  }
  ::kill(record->pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kWait;
  while (Alive(record->pid)) {
    if (std::chrono::steady_clock::now() > deadline) {
      *error = "the web service did not end";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace xp::websvc
