// Reading and writing the process records of process_records.h, and handing out machine process ids.
#include "process_records.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "machine_private.h"

namespace xp::machine {
namespace {

namespace fs = std::filesystem;

// Ids are multiples of 4, as on XP; the first ones look like those of a freshly booted machine.
constexpr uint32_t kFirstId = 1000;
constexpr uint32_t kIdStep = 4;
constexpr char kLastIdFile[] = "last_id";

void LockExclusive(int fd, const std::string& what) {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) Fatal("cannot lock " + what + ": " + std::strerror(errno));
  }
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (off_t offset = 0;;) {
    const ssize_t size = ::pread(fd, buffer, sizeof buffer, offset);
    if (size <= 0) break;
    text.append(buffer, static_cast<size_t>(size));
    offset += size;
  }
  return text;
}

// The next free id, counted in DIR/processes/last_id under its lock; `count` consecutive ids are taken.
uint32_t TakeIds(const fs::path& folder, uint32_t count) {
  const fs::path path = folder / kLastIdFile;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) Fatal("cannot open " + path.string() + ": " + std::strerror(errno));
  LockExclusive(fd, path.string());
  const uint64_t last = std::strtoull(ReadAll(fd).c_str(), nullptr, 10);
  uint32_t first = last < kFirstId ? kFirstId : static_cast<uint32_t>(last) + kIdStep;
  std::error_code error;
  while (fs::exists(folder / std::to_string(first), error)) first += kIdStep;  // a lost counter reuses no id
  const std::string text = std::to_string(first + (count - 1) * kIdStep) + "\n";
  // Ids only grow, so the new text is never shorter than the old one.
  if (::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
      ::ftruncate(fd, static_cast<off_t>(text.size())) != 0) {
    Fatal("cannot write " + path.string() + ": " + std::strerror(errno));
  }
  ::close(fd);
  return first;
}

ProcessRecord Parse(const std::string& text) {
  ProcessRecord record;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    const size_t equals = line.find(" = ");
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 3);
    const uint64_t number = std::strtoull(value.c_str(), nullptr, 10);
    if (key == "pid") record.pid = static_cast<uint32_t>(number);
    if (key == "parent") record.parent = static_cast<uint32_t>(number);
    if (key == "image") record.image = value;
    if (key == "account") record.account = value;
    if (key == "started") record.started_ms = number;
    if (key == "origin") record.launched = value == "launched";
    if (key == "host_pid") record.host_pid = static_cast<pid_t>(number);
    if (key == "host_start") record.host_start = number;
    if (key == "exit_code" && !record.exit_code) record.exit_code = static_cast<uint32_t>(number);
    if (key == "privileges") {
      record.privileges.clear();
      std::istringstream names(value);
      for (std::string name; std::getline(names, name, ',');) {
        if (!name.empty()) record.privileges.push_back(name);
      }
    }
  }
  return record;
}

}  // namespace

fs::path RecordPath(const fs::path& root, uint32_t pid) { return root / kProcessesFolder / std::to_string(pid); }

int CreateRecord(const fs::path& root, const std::vector<std::string>& lines, uint32_t* pid, uint32_t* extra_id) {
  const fs::path folder = root / kProcessesFolder;
  std::error_code error;
  fs::create_directories(folder, error);
  *pid = TakeIds(folder, extra_id != nullptr ? 2 : 1);
  if (extra_id != nullptr) *extra_id = *pid + kIdStep;
  // Written and locked under a temporary name, then renamed: a reader never sees an unlocked live record.
  const fs::path temporary = folder / (std::to_string(*pid) + ".new");
  const int fd = ::open(temporary.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) Fatal("cannot make the process record " + temporary.string() + ": " + std::strerror(errno));
  LockExclusive(fd, temporary.string());
  std::string text = RecordLine("pid", std::to_string(*pid));
  for (const std::string& line : lines) text += line;
  AppendToRecordFd(fd, text);
  if (::rename(temporary.c_str(), RecordPath(root, *pid).c_str()) != 0) {
    Fatal("cannot publish the process record " + temporary.string() + ": " + std::strerror(errno));
  }
  return fd;
}

std::string RecordLine(const std::string& key, const std::string& value) {
  std::string line = key + " = ";
  for (const char c : value) line += c == '\n' || c == '\r' ? ' ' : c;
  return line + "\n";
}

void AppendToRecordFd(int fd, const std::string& lines) {
  if (::write(fd, lines.data(), lines.size()) != static_cast<ssize_t>(lines.size())) {
    Fatal(std::string("cannot write a process record: ") + std::strerror(errno));
  }
}

bool AppendToRecord(const fs::path& root, uint32_t pid, const std::string& lines) {
  const int fd = ::open(RecordPath(root, pid).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return false;
  AppendToRecordFd(fd, lines);
  ::close(fd);
  return true;
}

std::optional<ProcessRecord> ReadRecord(const fs::path& root, uint32_t pid) {
  const int fd = ::open(RecordPath(root, pid).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  // Liveness first: once a process has ended, everything it and its terminator wrote is in the text.
  const bool live = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
  ProcessRecord record = Parse(ReadAll(fd));
  ::close(fd);
  record.live = live;
  return record;
}

ProcessRecord ParseRecordFd(int fd) { return Parse(ReadAll(fd)); }

uint64_t HostStartTime(pid_t host_pid) {
  std::ifstream stat("/proc/" + std::to_string(host_pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const size_t name_end = text.rfind(')');
  if (name_end == std::string::npos) return 0;
  std::istringstream fields(text.substr(name_end + 1));
  std::string field;
  // Fields after the name start at 3 (the state); the start time is field 22.
  for (int number = 3; number <= 22; ++number) {
    if (!(fields >> field)) return 0;
  }
  return std::strtoull(field.c_str(), nullptr, 10);
}

void JournalLaunch(const fs::path& root, uint32_t pid, const std::string& image, const std::string& command_line) {
  std::string line = "launch pid " + std::to_string(pid) + " " + image;
  if (!command_line.empty()) line += " command line: " + command_line;
  JournalAt(root, line);
}

}  // namespace xp::machine
