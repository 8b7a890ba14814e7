// The machine's journal: what a user or a test would observe, one stamped line per event, from every process.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "machine_private.h"
#include "xp/machine.h"

namespace xp::machine {

void JournalAt(const std::filesystem::path& root, const std::string& what) {
  std::string line = std::to_string(NowMsAt(root)) + " " + std::to_string(::getpid()) + " ";
  for (const char c : what) {
    if (c == '\n') {
      line += "\\n";
    } else {
      line += c;
    }
  }
  line += '\n';
  // One write() on an O_APPEND descriptor: lines of concurrent processes never interleave.
  const std::filesystem::path path = root / kJournalFile;
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) Fatal("cannot open the journal " + path.string() + ": " + std::strerror(errno));
  const ssize_t written = ::write(fd, line.data(), line.size());
  const int write_errno = errno;
  ::close(fd);
  if (written != static_cast<ssize_t>(line.size())) {
    Fatal("cannot append to the journal " + path.string() + ": " + std::strerror(write_errno));
  }
}

void Journal(const std::string& what) { JournalAt(Root(), what); }

}  // namespace xp::machine
