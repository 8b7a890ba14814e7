// The logs and the install folder's own files: every log line begins with the machine's local time as
// "%i-%i-%i %i:%i:%i " (no zero padding), and a log line is cut so that it keeps its line end.
#include <cstdio>

#include "conversion.h"
#include "crt_time.h"

namespace tavik::conversion {
namespace {

constexpr size_t kLogLineLimit = 459;  // with its "\n"

}  // namespace

std::string InstallFile(std::string_view name) { return std::string(kInstallFolder) + "\\" + std::string(name); }

void Stop(std::string text) { throw RunStop{std::move(text)}; }

std::string Stamp() {
  const std::time_t now = msvcrt::time(nullptr);
  const std::tm* local = msvcrt::localtime(&now);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%i-%i-%i %i:%i:%i ", local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
                local->tm_hour, local->tm_min, local->tm_sec);
  return stamp;
}

std::string LogLine(const std::string& text) {
  std::string line = Stamp() + text;
  if (line.size() > kLogLineLimit - 1) line.resize(kLogLineLimit - 1);
  return line + "\n";
}

bool AppendToFile(const std::string& file, const std::string& prefix, const std::string& text) {
  std::FILE* stream = std::fopen(file.c_str(), "a");
  if (stream == nullptr) return false;
  std::fputs(prefix.c_str(), stream);
  std::fputs(text.c_str(), stream);
  std::fflush(stream);
  std::fclose(stream);
  return true;
}

bool FlushedToDisk(const std::string& file) {
  // The file may still be open for appending (a log): its writer's handle is shared with.
  const HANDLE handle =
      CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool flushed = FlushFileBuffers(handle);
  return CloseHandle(handle) && flushed;
}

void MakeUnbuffered(CWnd* owner, std::FILE* stream, const char* name) {
  if (std::setvbuf(stream, nullptr, _IONBF, 0) != 0) {
    Box(owner, std::string("Incorrect type or size of buffer for stream ") + name, kCaption, MB_OK);
  }
}

}  // namespace tavik::conversion
