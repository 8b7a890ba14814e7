// The C run time's clock as the machine's programs see it. On Windows a program's time(NULL) and localtime() read
// the machine's clock; on Linux, <ctime>'s read the host's, and replacing those C library symbols would change them
// for every library of the process. So the system calls the run time by its own name instead:
//     srand(msvcrt::time(NULL) + 0x144091);       struct tm* now = msvcrt::localtime(&t);
// Both follow the machine clock (virtual under test). The machine's time zone is UTC. GetLocalTime,
// GetSystemTime and GetSystemTimeAsFileTime (winbase.h) read the same clock.
#pragma once

#include <ctime>

namespace msvcrt {

// Seconds since 1970-01-01 00:00 UTC on the machine's clock; also stored in *seconds when it is not null.
std::time_t time(std::time_t* seconds);
// The broken-down local time of `seconds`, in storage of the calling thread that the next call reuses; NULL for a
// negative time, as the Windows run time gives.
std::tm* localtime(const std::time_t* seconds);

}  // namespace msvcrt
