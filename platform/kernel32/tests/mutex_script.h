// A small command language for driving mutex calls from a test thread or from a helper process, so one table of
// steps can mix threads and processes. Each command runs one call after SetLastError(0xdeadbeef) and answers
// "<result> <last error>", e.g. "create 1 KeyMutex owned" -> "handle 0", "wait 1 0" -> "WAIT_TIMEOUT untouched".
#pragma once

#include <map>
#include <string>

#include "windows.h"

namespace xp::kernel32::testing {

// One actor's handles, numbered by the script.
class MutexSession {
 public:
  // Commands:
  //   create N NAME owned|unowned      CreateMutexA into slot N
  //   wait N MS|INFINITE               WaitForSingleObject
  //   release N | close N              ReleaseMutex | CloseHandle
  //   count NAME FILE TIMES            TIMES locked read-increment-write cycles of the number in FILE
  std::string Run(const std::string& command);

 private:
  std::map<int, HANDLE> handles_;
};

}  // namespace xp::kernel32::testing
