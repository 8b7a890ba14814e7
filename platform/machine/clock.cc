// The machine's clock. Real by default (milliseconds since the machine was made); under XPMACHINE_CLOCK=virtual
// the clock is a number in DIR/clock that every Sleep of every process advances at once, so tests never wait.
// The machine's date is its creation time plus the clock, so a virtual clock starts at the moment of creation.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "machine_private.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

// The clock file, open and locked (shared to read, exclusive to advance) for the life of the object.
class LockedClockFile {
 public:
  LockedClockFile(const std::filesystem::path& root, int lock_kind) {
    const std::filesystem::path path = root / kClockFile;
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) Fatal("cannot open the machine clock " + path.string() + ": " + std::strerror(errno));
    while (::flock(fd_, lock_kind) != 0) {
      if (errno != EINTR) Fatal(std::string("cannot lock the machine clock: ") + std::strerror(errno));
    }
  }
  ~LockedClockFile() { ::close(fd_); }  // closing drops the lock
  LockedClockFile(const LockedClockFile&) = delete;
  LockedClockFile& operator=(const LockedClockFile&) = delete;

  uint64_t Read() const {
    char text[32] = {};
    const ssize_t size = ::pread(fd_, text, sizeof text - 1, 0);
    if (size < 0) Fatal(std::string("cannot read the machine clock: ") + std::strerror(errno));
    return std::strtoull(text, nullptr, 10);
  }

  // The clock only moves forward, so the new text is never shorter than the old and a crash between the write and
  // the truncation leaves a readable number.
  void Write(uint64_t ms) const {
    const std::string text = std::to_string(ms) + "\n";
    if (::pwrite(fd_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
        ::ftruncate(fd_, static_cast<off_t>(text.size())) != 0) {
      Fatal(std::string("cannot write the machine clock: ") + std::strerror(errno));
    }
  }

 private:
  int fd_ = -1;
};

uint64_t HostMs() {
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  return duration_cast<milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

uint64_t CreatedMs(const std::filesystem::path& root) {
  const std::optional<std::string> created = SettingAt(root, kCreatedKey);
  if (!created) Fatal("the machine description has no '" + std::string(kCreatedKey) + "' time");
  return std::strtoull(created->c_str(), nullptr, 10);
}

}  // namespace

bool VirtualClock() {
  const char* value = std::getenv("XPMACHINE_CLOCK");
  return value != nullptr && std::strcmp(value, "virtual") == 0;
}

uint64_t NowMsAt(const std::filesystem::path& root) {
  if (VirtualClock()) return LockedClockFile(root, LOCK_SH).Read();
  const uint64_t created_ms = CreatedMs(root);
  const uint64_t now_ms = HostMs();
  return now_ms > created_ms ? now_ms - created_ms : 0;
}

uint64_t NowMs() { return NowMsAt(Root()); }

uint64_t UnixTimeMs() {
  const std::filesystem::path& root = Root();
  return CreatedMs(root) + NowMsAt(root);
}

void SleepMs(uint32_t ms) {
  if (!VirtualClock()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return;
  }
  const LockedClockFile clock(Root(), LOCK_EX);
  clock.Write(clock.Read() + ms);
}

}  // namespace xp::machine
