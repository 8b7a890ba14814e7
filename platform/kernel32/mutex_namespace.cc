// The machine's namespace of named mutexes: opening a handle, creating the name when no handle is open anywhere,
// and the process table that lets every handle of this process to one incarnation share its ownership state.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <map>
#include <system_error>

#include "named_mutex.h"
#include "xp/debug.h"
#include "xp/machine.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

namespace fs = std::filesystem;

// Longer names would not fit a host file name once escaped; no caller uses one.
constexpr size_t kMaxNameLength = 60;

// Names are case-sensitive, as on XP; anything but letters, digits, '_' and '-' is escaped as %XX.
std::string FileStem(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string stem;
  for (const unsigned char c : name) {
    if (std::isalnum(c) || c == '_' || c == '-') {
      stem += static_cast<char>(c);
    } else {
      stem += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return stem;
}

int OpenOrMake(const fs::path& path) { return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644); }

bool Lock(int fd, int operation) {
  while (::flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

uint64_t ReadNumber(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[32] = {};
  const ssize_t size = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  return size > 0 ? std::strtoull(text, nullptr, 10) : 0;
}

bool WriteText(const fs::path& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return written;
}

fs::path OwnerFile(const fs::path& base, uint64_t generation) {
  return base.string() + ".owner." + std::to_string(generation);
}

// Every handle of this process to one incarnation (one owner file) shares one NamedMutex.
class ProcessMutexes {
 public:
  std::shared_ptr<NamedMutex> Get(const fs::path& owner_file) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(mutexes_, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<NamedMutex>& slot = mutexes_[owner_file.string()];
    std::shared_ptr<NamedMutex> mutex = slot.lock();
    if (!mutex) {
      mutex = std::make_shared<NamedMutex>(owner_file);
      slot = mutex;
    }
    return mutex;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::weak_ptr<NamedMutex>> mutexes_;
};

// Never destroyed: threads abandon their mutexes from thread-exit destructors, late in the process's exit.
ProcessMutexes& Mutexes() {
  static ProcessMutexes* const mutexes = new ProcessMutexes;
  return *mutexes;
}

OpenedMutex Failure(const char* what, const fs::path& path) {
  XP_ERR("CreateMutexA", "%s %s: %s", what, path.c_str(), std::strerror(errno));
  return OpenedMutex{nullptr, false, ERROR_GEN_FAILURE};
}

}  // namespace

OpenedMutex OpenNamedMutex(const std::string& name, bool initial_owner) {
  if (name.size() > kMaxNameLength) {
    XP_FIXME("CreateMutexA", "name longer than %zu characters: %s", kMaxNameLength, name.c_str());
    return OpenedMutex{nullptr, false, ERROR_CALL_NOT_IMPLEMENTED};
  }
  const fs::path folder = machine::Root() / "objects" / "mutex";
  std::error_code error;
  fs::create_directories(folder, error);
  const fs::path base = folder / FileStem(name);

  // Held until the new handle counts, so two processes can never both see the name as new.
  const fs::path create_path = base.string() + ".create";
  const int create_fd = OpenOrMake(create_path);
  if (create_fd < 0 || !Lock(create_fd, LOCK_EX)) return Failure("cannot lock", create_path);
  struct CloseOnExit {
    int fd;
    ~CloseOnExit() { ::close(fd); }
  } create_lock{create_fd};

  const fs::path handles_path = base.string() + ".handles";
  const int probe_fd = OpenOrMake(handles_path);
  if (probe_fd < 0) return Failure("cannot open", handles_path);
  const bool existed = ::flock(probe_fd, LOCK_EX | LOCK_NB) != 0;
  ::close(probe_fd);

  const fs::path generation_path = base.string() + ".gen";
  uint64_t generation = ReadNumber(generation_path);
  if (!existed) {
    fs::remove(OwnerFile(base, generation), error);
    ++generation;
    if (!WriteText(generation_path, std::to_string(generation) + "\n") || !WriteText(OwnerFile(base, generation), "")) {
      return Failure("cannot create", base);
    }
  }
  const int handles_fd = OpenOrMake(handles_path);
  if (handles_fd < 0 || !Lock(handles_fd, LOCK_SH)) {
    if (handles_fd >= 0) ::close(handles_fd);
    return Failure("cannot hold", handles_path);
  }
  std::shared_ptr<NamedMutex> mutex = Mutexes().Get(OwnerFile(base, generation));
  if (!existed && initial_owner) mutex->TakeAtCreation();
  return OpenedMutex{std::make_shared<MutexHandle>(std::move(mutex), handles_fd), existed, 0};
}

}  // namespace xp::kernel32
