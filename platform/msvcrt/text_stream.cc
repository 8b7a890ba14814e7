// Streams on the machine's drives: a file opened through kernel32 behind a glibc stream (fopencookie), so fgets,
// fprintf, fread, setvbuf and the rest are glibc's own. Text mode (no 'b') is MSVCRT's: "\n" is written as
// "\r\n" and "\r\n" reads as "\n" (a lone CR stays); 'b' moves the bytes as they are. "a" writes at the end of the
// file every time. Files are shared for reading and writing, as MSVCRT's fopen shares them.
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "msvcrt_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(msvcrt);

namespace xp::msvcrt {
namespace {

struct Stream {
  HANDLE file = INVALID_HANDLE_VALUE;
  bool text = true;
  bool append = false;
  std::optional<char> pending;  // a byte read after a CR that turned out not to start "\r\n"
};

// Up to `size` raw bytes; 0 at the end of the file, -1 on failure.
ssize_t ReadRaw(Stream& stream, char* buffer, size_t size) {
  DWORD got = 0;
  if (!ReadFile(stream.file, buffer, static_cast<DWORD>(size), &got, nullptr)) {
    SetErrnoFromLastError();
    return -1;
  }
  return got;
}

// Reads raw bytes and turns each "\r\n" into "\n"; never more characters than raw bytes, so they fit.
ssize_t ReadText(Stream& stream, char* buffer, size_t size) {
  std::vector<char> raw;
  if (stream.pending) {
    raw.push_back(*stream.pending);
    stream.pending.reset();
  }
  const size_t start = raw.size();
  raw.resize(size);
  const ssize_t got = ReadRaw(stream, raw.data() + start, size - start);
  if (got < 0) return -1;
  raw.resize(start + static_cast<size_t>(got));
  size_t out = 0;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\r') {
      buffer[out++] = raw[i];
    } else if (i + 1 < raw.size()) {
      const bool pair = raw[i + 1] == '\n';
      buffer[out++] = pair ? '\n' : '\r';
      if (pair) ++i;
    } else {
      // The CR ends what was read: the next byte decides.
      char next = 0;
      const ssize_t ahead = ReadRaw(stream, &next, 1);
      const bool pair = ahead == 1 && next == '\n';
      buffer[out++] = pair ? '\n' : '\r';
      if (ahead == 1 && !pair) stream.pending = next;
    }
  }
  return static_cast<ssize_t>(out);
}

ssize_t Read(void* cookie, char* buffer, size_t size) {
  Stream& stream = *static_cast<Stream*>(cookie);
  return stream.text ? ReadText(stream, buffer, size) : ReadRaw(stream, buffer, size);
}

// Returns how many of the caller's bytes reached the file: fewer than `size` tells glibc the write failed.
ssize_t Write(void* cookie, const char* buffer, size_t size) {
  Stream& stream = *static_cast<Stream*>(cookie);
  const LARGE_INTEGER none{};
  if (stream.append && !SetFilePointerEx(stream.file, none, nullptr, FILE_END)) {
    SetErrnoFromLastError();
    return 0;
  }
  std::string bytes;
  if (stream.text) {
    for (size_t i = 0; i < size; ++i) {
      if (buffer[i] == '\n') bytes += '\r';
      bytes += buffer[i];
    }
  } else {
    bytes.assign(buffer, size);
  }
  DWORD written = 0;
  if (!WriteFile(stream.file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    SetErrnoFromLastError();
    return 0;
  }
  if (written == bytes.size()) return static_cast<ssize_t>(size);
  errno = ENOSPC;
  if (!stream.text) return written;
  // Count the caller's characters whose translation reached the file whole.
  size_t whole = 0;
  for (size_t used = 0; whole < size; ++whole) {
    used += buffer[whole] == '\n' ? 2 : 1;
    if (used > written) break;
  }
  return static_cast<ssize_t>(whole);
}

int Seek(void* cookie, off64_t* offset, int whence) {
  Stream& stream = *static_cast<Stream*>(cookie);
  LARGE_INTEGER distance;
  distance.QuadPart = *offset;
  // The byte read ahead has not been handed out yet.
  if (whence == SEEK_CUR && stream.pending) distance.QuadPart -= 1;
  stream.pending.reset();
  const DWORD method = whence == SEEK_SET ? FILE_BEGIN : whence == SEEK_CUR ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER now;
  if (!SetFilePointerEx(stream.file, distance, &now, method)) {
    SetErrnoFromLastError();
    return -1;
  }
  *offset = now.QuadPart;
  return 0;
}

int Close(void* cookie) {
  auto* stream = static_cast<Stream*>(cookie);
  const bool closed = CloseHandle(stream->file);
  if (!closed) SetErrnoFromLastError();
  delete stream;
  return closed ? 0 : -1;
}

}  // namespace

FILE* OpenWindowsStream(const char* path, const char* mode) {
  const char kind = mode[0];
  bool text = true;
  for (const char* flag = mode + 1; *flag != '\0'; ++flag) {
    if (*flag == 'b' || *flag == 't') {
      text = *flag == 't';
    } else {
      XP_FIXME("fopen", "only the modes r, w and a, with b or t, are implemented: %s", mode);
      errno = EINVAL;
      return nullptr;
    }
  }
  if (kind != 'r' && kind != 'w' && kind != 'a') {
    XP_FIXME("fopen", "only the modes r, w and a, with b or t, are implemented: %s", mode);
    errno = EINVAL;
    return nullptr;
  }
  const DWORD access = kind == 'r' ? GENERIC_READ : GENERIC_WRITE;
  const DWORD disposition = kind == 'r' ? OPEN_EXISTING : kind == 'w' ? CREATE_ALWAYS : OPEN_ALWAYS;
  const HANDLE file = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return nullptr;
  }
  auto* stream = new Stream{file, text, kind == 'a', std::nullopt};
  const cookie_io_functions_t functions{Read, Write, Seek, Close};
  FILE* opened = ::fopencookie(stream, kind == 'r' ? "r" : "w", functions);
  if (opened == nullptr) {
    CloseHandle(file);
    delete stream;
  }
  return opened;
}

}  // namespace xp::msvcrt
