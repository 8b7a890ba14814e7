// The process's HINTERNET handles: opaque numbers, never reused while the process lives, each naming a session, a
// connection or a request. Closing one closes every handle made from it, as WinInet does.
#include <map>
#include <mutex>
#include <vector>

#include "wininet_private.h"

namespace xp::wininet {
namespace {

// Positive 32-bit values, so that a caller that keeps a handle in a 32-bit signed number sees it as valid.
constexpr uintptr_t kFirstHandle = 0xCC0004;
constexpr uintptr_t kHandleStep = 4;

struct Table {
  std::mutex mutex;
  std::map<uintptr_t, std::shared_ptr<Object>> objects;
  uintptr_t next = kFirstHandle;
};

Table& TheTable() {
  static Table* const table = new Table;
  return *table;
}

}  // namespace

HINTERNET InsertObject(std::shared_ptr<Object> object) {
  Table& table = TheTable();
  const std::lock_guard<std::mutex> lock(table.mutex);
  const uintptr_t handle = table.next;
  table.next += kHandleStep;
  table.objects.emplace(handle, std::move(object));
  return reinterpret_cast<HINTERNET>(handle);
}

std::shared_ptr<Object> LookUpAny(HINTERNET handle) {
  Table& table = TheTable();
  const std::lock_guard<std::mutex> lock(table.mutex);
  const auto found = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (found == table.objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return found->second;
}

std::shared_ptr<Object> LookUp(HINTERNET handle, Kind kind) {
  std::shared_ptr<Object> object = LookUpAny(handle);
  if (object && object->kind != kind) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return object;
}

}  // namespace xp::wininet

using namespace xp::wininet;

// Exported by wininet.
extern "C" BOOL InternetCloseHandle(HINTERNET internet) {
  std::vector<std::shared_ptr<Object>> closed;  // released after the lock: a transfer's end may take a while
  {
    Table& table = TheTable();
    const std::lock_guard<std::mutex> lock(table.mutex);
    const auto found = table.objects.find(reinterpret_cast<uintptr_t>(internet));
    if (found == table.objects.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    std::vector<uintptr_t> to_close = {found->first};
    while (!to_close.empty()) {
      const uintptr_t handle = to_close.back();
      to_close.pop_back();
      for (const auto& [child, object] : table.objects) {
        if (reinterpret_cast<uintptr_t>(object->parent) == handle) to_close.push_back(child);
      }
      const auto entry = table.objects.find(handle);
      closed.push_back(entry->second);
      table.objects.erase(entry);
    }
  }
  return TRUE;
}
