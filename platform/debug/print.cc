// A channel's line: built whole, then written with one write each to stderr and, inside a machine, appended to
// DIR/debug.log, so that lines of the machine's processes never mix inside one another.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "xp/debug.h"

namespace xp::debug {
namespace {

const char* LevelName(Level level) {
  switch (level) {
    case kErr:
      return "err";
    case kFixme:
      return "fixme";
    case kWarn:
      return "warn";
    case kTrace:
      return "trace";
  }
  return "?";
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += static_cast<size_t>(written);
  }
}

// The machine's debug log, when XPMACHINE names a machine folder.
void AppendToMachineLog(const std::string& line) {
  const char* machine = std::getenv("XPMACHINE");
  if (machine == nullptr || *machine == '\0') return;
  const std::string folder = machine;
  if (::access((folder + "/machine.ini").c_str(), F_OK) != 0) return;
  const int fd = ::open((folder + "/debug.log").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  WriteAll(fd, std::to_string(::getpid()) + " " + program_invocation_short_name + ": " + line);
  ::close(fd);
}

}  // namespace

void Print(const Channel& channel, Level level, const char* function, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  std::string line = std::string(LevelName(level)) + ":" + channel.name() + ":" + function;
  if (!text.empty()) line += " " + text;
  if (line.back() != '\n') line += '\n';
  WriteAll(STDERR_FILENO, line);
  AppendToMachineLog(line);
}

}  // namespace xp::debug
