// The C run time's time() and localtime() on the machine's clock (see crt_time.h for why they have their own names).
#include "crt_time.h"

#include "xp/machine.h"

namespace msvcrt {

std::time_t time(std::time_t* seconds) {
  const std::time_t now = static_cast<std::time_t>(xp::machine::UnixTimeMs() / 1000);
  if (seconds != nullptr) *seconds = now;
  return now;
}

std::tm* localtime(const std::time_t* seconds) {
  thread_local std::tm parts;
  if (seconds == nullptr || *seconds < 0) return nullptr;
  return ::gmtime_r(seconds, &parts);
}

}  // namespace msvcrt
