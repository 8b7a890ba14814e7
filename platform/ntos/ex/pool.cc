// Pool allocation with per-tag accounting: every block remembers its tag and the module that asked for it, so
// a driver's unload can report what it leaked. Failures can be injected by count.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "include/internal/ex.h"
#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"
#include "include/internal/tag.h"

namespace xp::ntos::ex {

const void* ModuleBaseOf(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0) return nullptr;
  return info.dli_fbase;
}

Pool::~Pool() {
  for (const auto& [block, info] : blocks_) std::free(block);
}

void* Pool::Allocate(SIZE_T bytes, ULONG tag, const void* caller) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (failure_countdown_ > 0 && --failure_countdown_ == 0) return nullptr;
  }
  // Pool blocks are 16-byte aligned like XP's on x64; a zero-byte request still gets a unique block.
  void* block = std::aligned_alloc(16, (bytes + 15) / 16 * 16 + 16);
  if (block == nullptr) return nullptr;
  std::memset(block, 0xCD, bytes);  // pool is not zeroed; make reliance on it visible
  std::lock_guard<std::mutex> guard(lock_);
  blocks_[block] = Block{bytes, tag, ModuleBaseOf(caller)};
  return block;
}

bool Pool::Free(void* block) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (blocks_.erase(block) == 0) return false;
  }
  std::free(block);
  return true;
}

void Pool::FailAfter(uint32_t nth) {
  std::lock_guard<std::mutex> guard(lock_);
  failure_countdown_ = nth;
}

std::vector<PoolLeak> Pool::Outstanding(const void* module_base) const {
  std::lock_guard<std::mutex> guard(lock_);
  std::map<ULONG, PoolLeak> by_tag;
  for (const auto& [block, info] : blocks_) {
    if (module_base != nullptr && info.module_base != module_base) continue;
    PoolLeak& leak = by_tag[info.tag];
    leak.tag = info.tag;
    ++leak.allocations;
    leak.bytes += info.bytes;
  }
  std::vector<PoolLeak> result;
  for (const auto& [tag, leak] : by_tag) result.push_back(leak);
  return result;
}

}  // namespace xp::ntos::ex

using namespace xp::ntos;

namespace {

void* AllocateFor(SIZE_T bytes, ULONG tag, const void* caller) {
  if (KeGetCurrentIrql() > DISPATCH_LEVEL) ke::BugCheck(ke::kBadPoolCaller, "pool allocation above DISPATCH_LEVEL");
  return State().pool.Allocate(bytes, tag, caller);
}

void FreeBlock(void* block) {
  if (block == nullptr || !State().pool.Free(block)) ke::BugCheck(ke::kBadPoolCaller, "free of a bad pool block");
}

}  // namespace

extern "C" {

// Exported by the kernel model.
PVOID ExAllocatePoolWithTag(POOL_TYPE, SIZE_T bytes, ULONG tag) {
  return AllocateFor(bytes, tag, __builtin_return_address(0));
}

PVOID ExAllocatePool(POOL_TYPE, SIZE_T bytes) {
  return AllocateFor(bytes, tag::kUntagged, __builtin_return_address(0));
}

void ExFreePool(PVOID block) { FreeBlock(block); }

void ExFreePoolWithTag(PVOID block, ULONG) { FreeBlock(block); }

}  // extern "C"
