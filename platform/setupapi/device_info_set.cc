// The process's live device information sets and the test hooks' injected failures, under one lock.
#include "device_info_set.h"

#include <map>
#include <mutex>

#include "xp/setupapi_testing.h"

namespace xp::setupapi {
namespace {

struct Registry {
  std::mutex lock;
  std::map<HDEVINFO, std::shared_ptr<const DeviceInfoSet>> sets;
  DWORD class_devs_failure = 0;
  std::map<DWORD, DWORD> enum_failures;
  std::map<DWORD, DWORD> detail_failures;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

DWORD Lookup(const std::map<DWORD, DWORD>& failures, DWORD index) {
  const auto found = failures.find(index);
  return found == failures.end() ? 0 : found->second;
}

}  // namespace

HDEVINFO AddSet(DeviceInfoSet set) {
  auto shared = std::make_shared<const DeviceInfoSet>(std::move(set));
  const HDEVINFO handle = const_cast<DeviceInfoSet*>(shared.get());
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.sets.emplace(handle, std::move(shared));
  return handle;
}

std::shared_ptr<const DeviceInfoSet> FindSet(HDEVINFO handle) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  const auto found = r.sets.find(handle);
  return found == r.sets.end() ? nullptr : found->second;
}

bool DestroySet(HDEVINFO handle) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.sets.erase(handle) == 1;
}

DWORD ClassDevsFailure() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.class_devs_failure;
}

DWORD EnumFailure(DWORD index) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  return Lookup(r.enum_failures, index);
}

DWORD DetailFailure(DWORD index) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  return Lookup(r.detail_failures, index);
}

size_t LiveSetCount() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.sets.size();
}

void FailClassDevs(DWORD error) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.class_devs_failure = error;
}

void FailEnumAt(DWORD index, DWORD error) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.enum_failures[index] = error;
}

void FailDetailAt(DWORD index, DWORD error) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.detail_failures[index] = error;
}

void ClearFaults() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.class_devs_failure = 0;
  r.enum_failures.clear();
  r.detail_failures.clear();
}

}  // namespace xp::setupapi
