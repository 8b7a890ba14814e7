// The interpreter of the mutex command language; see mutex_script.h.
#include "mutex_script.h"

#include <fstream>
#include <sstream>
#include <thread>

namespace xp::kernel32::testing {
namespace {

std::string WaitName(DWORD result) {
  switch (result) {
    case WAIT_OBJECT_0:
      return "WAIT_OBJECT_0";
    case WAIT_ABANDONED:
      return "WAIT_ABANDONED";
    case WAIT_TIMEOUT:
      return "WAIT_TIMEOUT";
    case WAIT_FAILED:
      return "WAIT_FAILED";
    default:
      return std::to_string(result);
  }
}

// The last error by name where a table reads better so; "untouched" when the call left the sentinel.
std::string ErrorName(DWORD error) {
  switch (error) {
    case 0xdeadbeef:
      return "untouched";
    case ERROR_INVALID_HANDLE:
      return "ERROR_INVALID_HANDLE";
    case ERROR_ALREADY_EXISTS:
      return "ERROR_ALREADY_EXISTS";
    case ERROR_NOT_OWNER:
      return "ERROR_NOT_OWNER";
    default:
      return std::to_string(error);
  }
}

std::string Answer(const std::string& result) { return result + " " + ErrorName(GetLastError()); }

// The contention workload: without mutual exclusion the yields between read and write lose increments.
std::string Count(const std::string& name, const std::string& file, int times) {
  for (int i = 0; i < times; ++i) {
    const HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    if (mutex == nullptr) return "count-failed create " + std::to_string(GetLastError());
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      const DWORD waited = WaitForSingleObject(mutex, INFINITE);
      if (waited != WAIT_OBJECT_0) return "count-failed wait " + WaitName(waited);
    }
    long value = 0;
    std::ifstream(file) >> value;
    std::this_thread::yield();
    std::ofstream(file, std::ios::trunc) << value + 1;
    if (!ReleaseMutex(mutex) || !CloseHandle(mutex)) return "count-failed release " + std::to_string(GetLastError());
  }
  return "counted";
}

}  // namespace

std::string MutexSession::Run(const std::string& command) {
  std::istringstream words(command);
  std::string verb;
  words >> verb;
  if (verb == "count") {
    std::string name, file;
    int times = 0;
    words >> name >> file >> times;
    return Count(name, file, times);
  }
  int slot = 0;
  words >> slot;
  SetLastError(0xdeadbeef);
  if (verb == "create") {
    std::string name, owner;
    words >> name >> owner;
    const HANDLE handle = CreateMutexA(nullptr, owner == "owned", name.c_str());
    if (handle != nullptr) handles_[slot] = handle;
    return Answer(handle != nullptr ? "handle" : "NULL");
  }
  const auto found = handles_.find(slot);
  // An unknown slot stands for a handle value that was never opened.
  const HANDLE handle = found != handles_.end() ? found->second : reinterpret_cast<HANDLE>(0x7ffffff0);
  if (verb == "wait") {
    std::string timeout;
    words >> timeout;
    const DWORD ms = timeout == "INFINITE" ? INFINITE : static_cast<DWORD>(std::stoul(timeout));
    return Answer(WaitName(WaitForSingleObject(handle, ms)));
  }
  if (verb == "release") return Answer(ReleaseMutex(handle) ? "TRUE" : "FALSE");
  if (verb == "close") return Answer(CloseHandle(handle) ? "TRUE" : "FALSE");
  return "unknown command: " + command;
}

}  // namespace xp::kernel32::testing
