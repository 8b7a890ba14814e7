// The machine's clock as a date: GetSystemTime, GetLocalTime (the machine's zone is UTC) and
// GetSystemTimeAsFileTime.
#include <ctime>

#include "kernel32_private.h"
#include "xp/machine.h"

namespace {

// 100-ns intervals from 1601-01-01 to 1970-01-01.
constexpr uint64_t kFileTimeOf1970 = 116444736000000000ull;

void FillSystemTime(LPSYSTEMTIME out) {
  const uint64_t ms = xp::machine::UnixTimeMs();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm parts{};
  ::gmtime_r(&seconds, &parts);
  out->wYear = static_cast<WORD>(parts.tm_year + 1900);
  out->wMonth = static_cast<WORD>(parts.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
  out->wDay = static_cast<WORD>(parts.tm_mday);
  out->wHour = static_cast<WORD>(parts.tm_hour);
  out->wMinute = static_cast<WORD>(parts.tm_min);
  out->wSecond = static_cast<WORD>(parts.tm_sec);
  out->wMilliseconds = static_cast<WORD>(ms % 1000);
}

}  // namespace

// Exported by kernel32.
extern "C" void GetSystemTime(LPSYSTEMTIME system_time) { FillSystemTime(system_time); }

// Exported by kernel32.
extern "C" void GetLocalTime(LPSYSTEMTIME local_time) { FillSystemTime(local_time); }

// Exported by kernel32.
extern "C" void GetSystemTimeAsFileTime(LPFILETIME file_time) {
  const uint64_t intervals = kFileTimeOf1970 + xp::machine::UnixTimeMs() * 10000;
  file_time->dwLowDateTime = static_cast<DWORD>(intervals);
  file_time->dwHighDateTime = static_cast<DWORD>(intervals >> 32);
}
