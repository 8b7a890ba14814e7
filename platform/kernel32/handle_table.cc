// The process's handle table: small multiples of 4 (never 0 or -1) mapped to kernel objects, and CloseHandle.
// Values are not reused until the counter wraps, so a stale handle fails instead of reaching a new object.
#include <map>
#include <mutex>

#include "kernel32_private.h"

namespace xp {
namespace {

class HandleTable {
 public:
  HANDLE Insert(std::shared_ptr<KernelObject> object) {
    const std::lock_guard<std::mutex> lock(mutex_);
    do {
      next_ = next_ >= kLastValue ? kFirstValue : next_ + kStep;
    } while (entries_.count(next_) != 0);
    ++references_[object.get()];
    entries_.emplace(next_, std::move(object));
    return reinterpret_cast<HANDLE>(next_);
  }

  std::shared_ptr<KernelObject> Lookup(HANDLE handle) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto entry = entries_.find(reinterpret_cast<uintptr_t>(handle));
    return entry == entries_.end() ? nullptr : entry->second;
  }

  bool Remove(HANDLE handle, std::shared_ptr<KernelObject>* removed, bool* was_last) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto entry = entries_.find(reinterpret_cast<uintptr_t>(handle));
    if (entry == entries_.end()) return false;
    const auto count = references_.find(entry->second.get());
    *was_last = --count->second == 0;
    if (*was_last) references_.erase(count);
    if (removed != nullptr) *removed = std::move(entry->second);
    entries_.erase(entry);
    return true;
  }

 private:
  static constexpr uintptr_t kStep = 4;
  static constexpr uintptr_t kFirstValue = 4;
  static constexpr uintptr_t kLastValue = 0x7FFFFFFC;

  std::mutex mutex_;
  uintptr_t next_ = 0;
  std::map<uintptr_t, std::shared_ptr<KernelObject>> entries_;
  std::map<KernelObject*, int> references_;  // handles per object, for "the last handle closed"
};

// Never destroyed: libraries close handles from their ELF destructors, after static destructors have run.
HandleTable& Table() {
  static HandleTable* const table = new HandleTable;
  return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) { return Table().Insert(std::move(object)); }

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) { return Table().Lookup(handle); }

bool RemoveHandle(HANDLE handle, std::shared_ptr<KernelObject>* removed) {
  bool was_last = false;
  return Table().Remove(handle, removed, &was_last);
}

namespace kernel32 {

bool RemoveHandleEntry(HANDLE handle, std::shared_ptr<KernelObject>* removed, bool* was_last) {
  return Table().Remove(handle, removed, was_last);
}

}  // namespace kernel32
}  // namespace xp

// Exported by kernel32.
extern "C" BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<xp::KernelObject> object;
  bool was_last = false;
  if (!xp::kernel32::RemoveHandleEntry(handle, &object, &was_last)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (was_last) {
    if (const DWORD error = object->OnClose(); error != 0) {
      SetLastError(error);
      return FALSE;
    }
  }
  return TRUE;
}
