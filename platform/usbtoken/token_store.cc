// The state file on disk: read whole under flock, rewritten only in the range of bytes that changed.
#include "token_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace xp::usbtoken {
namespace {

// An open file descriptor that closes itself, which also drops its flock.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool Lock(int fd, int operation) {
  while (flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool ReadAll(int fd, std::vector<uint8_t>* bytes) {
  struct stat info;
  if (fstat(fd, &info) != 0) return false;
  bytes->resize(static_cast<size_t>(info.st_size));
  size_t done = 0;
  while (done < bytes->size()) {
    const ssize_t n = pread(fd, bytes->data() + done, bytes->size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool WriteAt(int fd, const uint8_t* data, size_t size, size_t offset) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes `after` over a file that holds `before`, touching only the range between the first and last change.
bool WriteChanges(int fd, const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
  if (before.size() != after.size()) {
    return WriteAt(fd, after.data(), after.size(), 0) && ftruncate(fd, static_cast<off_t>(after.size())) == 0;
  }
  size_t first = 0;
  while (first < after.size() && before[first] == after[first]) ++first;
  if (first == after.size()) return true;
  size_t last = after.size();
  while (before[last - 1] == after[last - 1]) --last;
  return WriteAt(fd, after.data() + first, last - first, first);
}

bool IsPlainName(const std::string& id) {
  if (id.empty() || id == "." || id == "..") return false;
  for (char c : id) {
    if (c == '/' || c == '\\' || c == '\0') return false;
  }
  return true;
}

}  // namespace

std::filesystem::path TokensDir(const std::filesystem::path& machine) { return machine / "devices" / "usbtoken"; }

std::vector<std::string> TokenIds(const std::filesystem::path& machine) {
  std::vector<std::string> ids;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(TokensDir(machine), ec)) {
    if (entry.is_directory(ec)) ids.push_back(entry.path().filename().string());
  }
  return ids;
}

std::optional<std::filesystem::path> TokenDir(const std::filesystem::path& machine, const std::string& id) {
  if (!IsPlainName(id)) return std::nullopt;
  return TokensDir(machine) / id;
}

bool UpdateToken(const std::filesystem::path& machine, const std::string& id,
                 const std::function<bool(TokenState&)>& change) {
  const std::optional<std::filesystem::path> dir = TokenDir(machine, id);
  return dir && StateFile(*dir).Update(change);
}

std::optional<TokenState> ReadToken(const std::filesystem::path& machine, const std::string& id) {
  const std::optional<std::filesystem::path> dir = TokenDir(machine, id);
  if (!dir) return std::nullopt;
  return StateFile(*dir).Read();
}

bool StateFile::Create(const TokenState& state) const {
  const std::vector<uint8_t> bytes = SerializeState(state);
  const std::filesystem::path temp = dir_ / "state.new";
  {
    Fd fd(open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd.ok() || !WriteAt(fd.get(), bytes.data(), bytes.size(), 0)) return false;
  }
  // The rename makes the token appear whole or not at all to a concurrent listing.
  return rename(temp.c_str(), StatePath().c_str()) == 0;
}

bool StateFile::Update(const std::function<bool(TokenState&)>& change) const {
  Fd fd(open(StatePath().c_str(), O_RDWR | O_CLOEXEC));
  if (!fd.ok() || !Lock(fd.get(), LOCK_EX)) return false;
  std::vector<uint8_t> before;
  if (!ReadAll(fd.get(), &before)) return false;
  std::optional<TokenState> state = ParseState(before);
  if (!state) return false;
  if (change(*state)) return WriteChanges(fd.get(), before, SerializeState(*state));
  return true;
}

std::optional<TokenState> StateFile::Read() const {
  Fd fd(open(StatePath().c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.ok() || !Lock(fd.get(), LOCK_SH)) return std::nullopt;
  std::vector<uint8_t> bytes;
  if (!ReadAll(fd.get(), &bytes)) return std::nullopt;
  return ParseState(bytes);
}

}  // namespace xp::usbtoken
