// The debug log: each line "<process>.<thread>> logongate-<level>: <message>" within 256 bytes goes to the debugger
// output and, when win.ini [logongate] "LogFile" names a file, is appended to it with the time under the named
// mutex that all writers of the machine share. "DebugFlags" chooses the levels (default Error and Warning).
// Passwords are never logged.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "logongate_private.h"
#include "msvcrt.h"

namespace tavik::logongate {
namespace {

constexpr size_t kLineSize = 256;
constexpr size_t kLogFileSize = 128;

struct DebugSettings {
  int mask = kError | kWarning;
  char log_file[kLogFileSize] = {};
  bool open_failed = false;  // told once
};

// Trivially destructible: the settings outlive any static destructor that might still log.
DebugSettings& Settings() {
  static DebugSettings settings;
  return settings;
}

const char* LevelName(Level level) {
  switch (level) {
    case kError: return "logongate-Error";
    case kWarning: return "logongate-Warn";
    case kTrace: return "logongate-Trace";
  }
  return "logongate";
}

int LevelOfWord(const std::string& word) {
  const auto same = [&](const char* name) { return _stricmp(word.c_str(), name) == 0; };
  if (same("Error")) return kError;
  if (same("Warning")) return kWarning;
  if (same("Trace")) return kTrace;
  return 0;
}

void AppendToFile(DebugSettings& settings, const char* line) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "logongateDebugMutex");
  if (mutex == nullptr) return;
  if (GetLastError() == ERROR_ALREADY_EXISTS) WaitForSingleObject(mutex, INFINITE);
  // Opened for each line, so every writer's lines land whole and in order and nothing stays open.
  std::FILE* stream = std::fopen(settings.log_file, "a");
  if (stream == nullptr && !settings.open_failed) {
    settings.open_failed = true;
    OutputDebugStringA("logongate: Could not open logfile for append");
    OutputDebugStringA(settings.log_file);
  }
  if (stream != nullptr) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::fprintf(stream, "%02d:%02d:%02d.%03d: %s\n", now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                 line);
    std::fclose(stream);
  }
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

}  // namespace

void ReadDebugSettings() {
  DebugSettings& settings = Settings();
  char flags[256] = {};
  GetProfileStringA("logongate", "DebugFlags", "Error,Warning", flags, sizeof flags);
  settings.mask = 0;
  std::string word;
  for (const char* c = flags;; ++c) {
    if (*c == '\0' || *c == ',' || *c == ' ' || *c == '\t') {
      settings.mask |= LevelOfWord(word);
      word.clear();
      if (*c == '\0') break;
    } else {
      word += *c;
    }
  }
  GetProfileStringA("logongate", "LogFile", "", settings.log_file, sizeof settings.log_file);
}

void LogEvent(Level level, const char* format, ...) {
  DebugSettings& settings = Settings();
  if ((settings.mask & level) == 0) return;
  char line[kLineSize];
  int used = std::snprintf(line, sizeof line, "%u.%u> %s: ", static_cast<unsigned>(GetCurrentProcessId()),
                           static_cast<unsigned>(GetCurrentThreadId()), LevelName(level));
  va_list arguments;
  va_start(arguments, format);
  const int message = std::vsnprintf(line + used, sizeof line - used, format, arguments);
  va_end(arguments);
  if (message < 0 || used + message >= static_cast<int>(sizeof line)) {
    std::strcpy(line, "logongate!LogEvent:  Could not pack string into 256 bytes\n");
  }
  OutputDebugStringA(line);
  if (settings.log_file[0] != '\0') AppendToFile(settings, line);
}

}  // namespace tavik::logongate
