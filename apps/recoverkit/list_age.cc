// Comparing a file's last-write time with a log stamp, in the machine's local time as the stamp was written.
#include "list_age.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <tuple>

#include "crt_time.h"
#include "windows.h"

namespace tavik::recoverkit {
namespace {

using Moment = std::tuple<int, int, int, int, int, int>;  // year, month, day, hour, minute, second

constexpr uint64_t kFileTimeOf1970 = 116444736000000000ULL;
constexpr uint64_t kFileTicksPerSecond = 10000000ULL;

}  // namespace

bool WrittenAfter(const std::string& list, const std::string& stamp) {
  Moment stamped;
  auto& [year, month, day, hour, minute, second] = stamped;
  char rest = 0;
  if (std::sscanf(stamp.c_str(), "%d-%d-%d %d:%d:%d%c", &year, &month, &day, &hour, &minute, &second, &rest) != 6) {
    return true;
  }
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA(list.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  const uint64_t ticks = (static_cast<uint64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32) |
                         entry.ftLastWriteTime.dwLowDateTime;
  if (ticks < kFileTimeOf1970) return false;
  const std::time_t seconds = static_cast<std::time_t>((ticks - kFileTimeOf1970) / kFileTicksPerSecond);
  const std::tm* local = msvcrt::localtime(&seconds);
  if (local == nullptr) return false;
  const Moment written{local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
                       local->tm_hour,        local->tm_min,     local->tm_sec};
  return written > stamped;
}

}  // namespace tavik::recoverkit
