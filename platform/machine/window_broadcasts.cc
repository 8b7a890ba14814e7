// DIR/broadcasts: one "<message> <wparam> <lparam>" line per broadcast message, in decimal. A line is appended by
// one write() on an O_APPEND descriptor, so it is whole for every reader; a cursor is a byte offset into the file.
#include "xp/window_broadcasts.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>

#include "machine_private.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

constexpr char kBroadcastsFile[] = "broadcasts";

}  // namespace

void BroadcastToWindows(const std::filesystem::path& root, uint32_t message, uint64_t wparam, uint64_t lparam) {
  char line[80];
  const int length = std::snprintf(line, sizeof line, "%" PRIu32 " %" PRIu64 " %" PRIu64 "\n", message, wparam, lparam);
  const std::filesystem::path path = root / kBroadcastsFile;
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) Fatal("cannot open " + path.string() + ": " + std::strerror(errno));
  const ssize_t written = ::write(fd, line, static_cast<size_t>(length));
  const int write_errno = errno;
  ::close(fd);
  if (written != length) Fatal("cannot append to " + path.string() + ": " + std::strerror(write_errno));
}

uint64_t BroadcastCursor() {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(Root() / kBroadcastsFile, error);
  return error ? 0 : size;
}

std::vector<WindowBroadcast> BroadcastsAfter(uint64_t cursor) {
  std::vector<WindowBroadcast> messages;
  std::ifstream file(Root() / kBroadcastsFile, std::ios::binary);
  if (!file || !file.seekg(static_cast<std::streamoff>(cursor))) return messages;
  std::string line;
  uint64_t at = cursor;
  // A line without its line break is still being written: it is heard next time.
  while (std::getline(file, line) && !file.eof()) {
    at += line.size() + 1;
    WindowBroadcast broadcast;
    if (std::sscanf(line.c_str(), "%" SCNu32 " %" SCNu64 " %" SCNu64, &broadcast.message, &broadcast.wparam,
                    &broadcast.lparam) != 3) {
      continue;
    }
    broadcast.end = at;
    messages.push_back(broadcast);
  }
  return messages;
}

}  // namespace xp::machine
