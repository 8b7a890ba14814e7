// The handles SetupAPI hands out for its own objects (INF files, file queues, queue callback contexts): each is the
// address of its object, valid until it is closed; anything else is refused. One table per kind, under one lock.
#pragma once

#include <map>
#include <memory>
#include <mutex>

namespace xp::setupapi {

template <typename Object>
class ObjectTable {
 public:
  void* Add(std::shared_ptr<Object> object) {
    void* const handle = object.get();
    const std::lock_guard<std::mutex> lock(mutex_);
    objects_.emplace(handle, std::move(object));
    return handle;
  }
  std::shared_ptr<Object> Find(const void* handle) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = objects_.find(handle);
    return found == objects_.end() ? nullptr : found->second;
  }
  bool Remove(const void* handle) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return objects_.erase(handle) == 1;
  }

  // Never destroyed: a handle closed after the process's static destructors ran must still be refused safely.
  static ObjectTable& Instance() {
    static ObjectTable* const table = new ObjectTable;
    return *table;
  }

 private:
  std::mutex mutex_;
  std::map<const void*, std::shared_ptr<Object>> objects_;
};

}  // namespace xp::setupapi
