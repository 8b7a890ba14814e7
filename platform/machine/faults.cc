// Faults on purpose, kept in DIR/faults so that every process of the machine counts the same calls. Each check
// takes the file's lock, counts the call for every matching fault and writes the counts back before going on.
// Nearly every call of every program asks, and nearly always nothing is armed: DIR/faults.armed, mapped shared by
// every process, holds how many faults were armed since the last clear, so that answer costs one load.
#include "xp/faults.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "machine_private.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

struct ArmedFault {
  Fault fault;
  uint64_t calls = 0;
};

std::string Fold(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

const char* ActionName(FaultAction action) {
  switch (action) {
    case FaultAction::kCrash: return "crash";
    case FaultAction::kPowerLoss: return "power-loss";
    default: return "fail";
  }
}

std::string Format(const ArmedFault& armed) {
  const Fault& f = armed.fault;
  return std::string(ActionName(f.action)) + " " + f.operation +
         " nth=" + std::to_string(f.nth) + " times=" + std::to_string(f.times) + " error=" + std::to_string(f.error) +
         " calls=" + std::to_string(armed.calls) + " path=" + f.path_contains + "\n";
}

std::optional<ArmedFault> Parse(const std::string& line) {
  const size_t path_at = line.find(" path=");
  if (path_at == std::string::npos) return std::nullopt;
  ArmedFault armed;
  armed.fault.path_contains = line.substr(path_at + 6);
  std::istringstream in(line.substr(0, path_at));
  std::string action;
  in >> action >> armed.fault.operation;
  if (action == "fail") {
    armed.fault.action = FaultAction::kFail;
  } else if (action == "crash") {
    armed.fault.action = FaultAction::kCrash;
  } else if (action == "power-loss") {
    armed.fault.action = FaultAction::kPowerLoss;
  } else {
    return std::nullopt;
  }
  for (std::string token; in >> token;) {
    const size_t equals = token.find('=');
    if (equals == std::string::npos) return std::nullopt;
    const std::string key = token.substr(0, equals);
    const uint64_t value = std::strtoull(token.c_str() + equals + 1, nullptr, 10);
    if (key == "nth") armed.fault.nth = static_cast<uint32_t>(value);
    if (key == "times") armed.fault.times = static_cast<uint32_t>(value);
    if (key == "error") armed.fault.error = static_cast<uint32_t>(value);
    if (key == "calls") armed.calls = value;
  }
  return armed;
}

// DIR/faults, open and exclusively locked; fd < 0 when no fault was ever armed (or all were cleared).
class LockedFaults {
 public:
  explicit LockedFaults(int extra_flags) {
    const std::filesystem::path path = Root() / kFaultsFile;
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC | extra_flags, 0644);
    if (fd_ < 0) {
      if (errno != ENOENT) Fatal("cannot open the fault list " + path.string() + ": " + std::strerror(errno));
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) Fatal(std::string("cannot lock the fault list: ") + std::strerror(errno));
    }
  }
  ~LockedFaults() {
    if (fd_ >= 0) ::close(fd_);
  }
  LockedFaults(const LockedFaults&) = delete;
  LockedFaults& operator=(const LockedFaults&) = delete;

  bool open() const { return fd_ >= 0; }

  std::vector<ArmedFault> Read() const {
    std::string text;
    char buffer[4096];
    for (off_t offset = 0;;) {
      const ssize_t size = ::pread(fd_, buffer, sizeof buffer, offset);
      if (size < 0) Fatal(std::string("cannot read the fault list: ") + std::strerror(errno));
      if (size == 0) break;
      text.append(buffer, static_cast<size_t>(size));
      offset += size;
    }
    std::vector<ArmedFault> faults;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (const std::optional<ArmedFault> armed = Parse(line)) faults.push_back(*armed);
    }
    return faults;
  }

  // Counts only grow, so the new text is never shorter than the old one.
  void Write(const std::vector<ArmedFault>& faults) const {
    std::string text;
    for (const ArmedFault& armed : faults) text += Format(armed);
    if (::pwrite(fd_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
        ::ftruncate(fd_, static_cast<off_t>(text.size())) != 0) {
      Fatal(std::string("cannot write the fault list: ") + std::strerror(errno));
    }
  }

  void Append(const ArmedFault& armed) const {
    const std::string line = Format(armed);
    if (::write(fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
      Fatal(std::string("cannot write the fault list: ") + std::strerror(errno));
    }
  }

 private:
  int fd_ = -1;
};

inline constexpr char kArmedFile[] = "faults.armed";

// The machine's armed count, mapped once per process and machine; nullptr where it cannot be mapped (every check
// then reads the list). A count made afresh starts at 1 when a list is already there.
std::atomic<uint64_t>* MapArmedCount(const std::filesystem::path& root) {
  const std::filesystem::path path = root / kArmedFile;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  std::atomic<uint64_t>* count = nullptr;
  struct stat status {};
  if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &status) == 0) {
    const bool fresh = status.st_size < static_cast<off_t>(sizeof(uint64_t));
    if (!fresh || ::ftruncate(fd, sizeof(uint64_t)) == 0) {
      void* page = ::mmap(nullptr, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      if (page != MAP_FAILED) {
        count = static_cast<std::atomic<uint64_t>*>(page);
        std::error_code error;
        if (fresh && std::filesystem::exists(root / kFaultsFile, error)) count->store(1);
      }
    }
  }
  // A mapping keeps the open file and with it the lock: unlock before the descriptor goes.
  ::flock(fd, LOCK_UN);
  ::close(fd);
  return count;
}

std::atomic<uint64_t>* ArmedCount() {
  thread_local std::filesystem::path cached_root;
  thread_local std::atomic<uint64_t>* cached = nullptr;
  const std::filesystem::path& root = Root();
  if (cached != nullptr && cached_root.native() == root.native()) return cached;
  // Mappings are shared by the threads and kept for the process's life: a process meets few machines.
  static std::mutex lock;
  static std::map<std::filesystem::path, std::atomic<uint64_t>*>* mapped =
      new std::map<std::filesystem::path, std::atomic<uint64_t>*>;
  const std::lock_guard<std::mutex> guard(lock);
  auto found = mapped->find(root);
  if (found == mapped->end()) found = mapped->emplace(root, MapArmedCount(root)).first;
  cached_root = root;
  cached = found->second;
  return cached;
}

// Counts the call for every matching fault of `action`; true when one of them fires. *error: the first one's.
bool Count(FaultAction action, std::string_view operation, std::string_view path, uint32_t* error) {
  if (!Present()) return false;
  if (const std::atomic<uint64_t>* armed = ArmedCount(); armed != nullptr && armed->load() == 0) return false;
  const LockedFaults file(0);
  if (!file.open()) return false;
  std::vector<ArmedFault> faults = file.Read();
  const std::string folded_path = Fold(path);
  bool fired = false;
  bool counted = false;
  for (ArmedFault& armed : faults) {
    const Fault& fault = armed.fault;
    if (fault.action != action || fault.operation != operation) continue;
    if (folded_path.find(Fold(fault.path_contains)) == std::string::npos) continue;
    const uint64_t call = ++armed.calls;
    counted = true;
    const bool in_range = call >= fault.nth && (fault.times == 0 || call < uint64_t{fault.nth} + fault.times);
    if (in_range && !fired) {
      fired = true;
      *error = fault.error;
    }
  }
  if (counted) file.Write(faults);
  return fired;
}

}  // namespace

void ArmFault(const Fault& fault) {
  const bool plain_operation =
      !fault.operation.empty() && fault.operation.find_first_of(" \t\r\n") == std::string::npos;
  if (!plain_operation || fault.path_contains.find_first_of("\r\n") != std::string::npos || fault.nth == 0) {
    throw std::invalid_argument("a fault needs an operation without spaces, a path on one line and nth >= 1");
  }
  const LockedFaults file(O_CREAT | O_APPEND);
  file.Append(ArmedFault{fault, 0});
  if (std::atomic<uint64_t>* armed = ArmedCount()) armed->fetch_add(1);
}

void ClearFaults() {
  const std::filesystem::path path = Root() / kFaultsFile;
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    Fatal("cannot clear the fault list " + path.string() + ": " + std::strerror(errno));
  }
  if (std::atomic<uint64_t>* armed = ArmedCount()) armed->store(0);
}

std::optional<uint32_t> FailPoint(std::string_view operation, std::string_view path) {
  uint32_t error = 0;
  if (!Count(FaultAction::kFail, operation, path, &error)) return std::nullopt;
  return error;
}

void CrashPoint(std::string_view operation, std::string_view path) {
  uint32_t unused = 0;
  if (Count(FaultAction::kCrash, operation, path, &unused)) ::raise(SIGKILL);
}

bool PowerLossPoint(std::string_view operation, std::string_view path) {
  uint32_t unused = 0;
  return Count(FaultAction::kPowerLoss, operation, path, &unused);
}

}  // namespace xp::machine
