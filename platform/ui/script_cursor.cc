// Where a machine's script has got to. Several processes play one script in turn (an install restarts and
// resumes), so the position lives in the machine folder (ui.cursor), read and moved under the machine's UI lock
// (ui.lock). A cursor written for another script, or for other contents of the same file, counts as the start.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "ui_private.h"
#include "xp/machine.h"
#include "xp/ui_script.h"

namespace xp::ui {
namespace {

constexpr char kLockFile[] = "ui.lock";
constexpr char kCursorFile[] = "ui.cursor";

std::string Fingerprint(const std::filesystem::path& script, const std::string& contents) {
  uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a: stable across builds, unlike std::hash
  for (const char c : contents) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ull;
  }
  char hex[20];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return script.string() + " " + hex;
}

int LockMachineUi() {
  const std::filesystem::path path = machine::Root() / kLockFile;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot open " + path.string() + ": " + std::strerror(errno));
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      const int error = errno;
      ::close(fd);
      throw std::runtime_error("cannot lock " + path.string() + ": " + std::strerror(error));
    }
  }
  return fd;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the UI script " + path.string());
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

}  // namespace

ScriptSession::ScriptSession(const std::filesystem::path& script)
    : script_(script), cursor_file_(machine::Root() / kCursorFile) {
  lock_fd_ = LockMachineUi();
  try {
    const std::string contents = ReadFile(script_);
    steps_ = ParseScript(contents);
    fingerprint_ = Fingerprint(script_, contents);
    std::ifstream in(cursor_file_);
    std::string fingerprint;
    size_t step = 0;
    size_t action = 0;
    const auto fits = [this](size_t step, size_t action) {
      return step < steps_.size() ? action < std::max<size_t>(1, steps_[step].actions.size())
                                  : step == steps_.size() && action == 0;
    };
    if (std::getline(in, fingerprint) && fingerprint == fingerprint_ && in >> step >> action && fits(step, action)) {
      step_ = step;
      action_ = action;
    }
  } catch (...) {
    ::close(lock_fd_);
    throw;
  }
}

ScriptSession::~ScriptSession() { ::close(lock_fd_); }

void ScriptSession::Advance() {
  const Step& current = steps_.at(step_);
  if (action_ + 1 < current.actions.size()) {
    ++action_;
  } else {
    ++step_;
    action_ = 0;
  }
  Save();
}

void ScriptSession::Save() const {
  // A new file renamed over the old: a process that dies mid-write leaves the previous position, never half of one.
  const std::filesystem::path temporary = cursor_file_.string() + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << fingerprint_ << "\n" << step_ << " " << action_ << "\n";
    out.flush();
    if (!out) throw std::runtime_error("cannot write " + temporary.string());
  }
  std::error_code error;
  std::filesystem::rename(temporary, cursor_file_, error);
  if (error) throw std::runtime_error("cannot write " + cursor_file_.string() + ": " + error.message());
}

void ResetScriptCursor(const std::filesystem::path& machine_root) {
  std::error_code error;
  std::filesystem::remove(machine_root / kCursorFile, error);
  if (error) throw std::runtime_error("cannot reset " + (machine_root / kCursorFile).string() + ": " + error.message());
}

size_t ScriptStepsLeft() {
  const std::optional<std::filesystem::path> script = ScriptPathFromEnvironment();
  if (!script) throw std::runtime_error("XPMACHINE_UI names no script");
  const ScriptSession session(*script);
  return session.steps().size() - session.step();
}

}  // namespace xp::ui
