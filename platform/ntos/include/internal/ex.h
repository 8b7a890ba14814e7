// Executive internals: the pool with per-tag accounting and injectable failures.
#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "ddk/wdm.h"
#include "xp/ntos.h"

namespace xp::ntos::ex {

class Pool {
 public:
  Pool() = default;
  // What is still allocated when the machine goes away goes with it (it was reported at the drivers' unloads).
  ~Pool();
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;
  // `caller` is the code address that asked, to attribute the block to a driver module.
  void* Allocate(SIZE_T bytes, ULONG tag, const void* caller);
  // False when `block` is not an allocated block.
  bool Free(void* block);
  void FailAfter(uint32_t nth);
  // Blocks still allocated, per tag; only those asked for from the module at `module_base` when it is given.
  std::vector<PoolLeak> Outstanding(const void* module_base = nullptr) const;

 private:
  struct Block {
    SIZE_T bytes;
    ULONG tag;
    const void* module_base;
  };
  mutable std::mutex lock_;
  std::map<void*, Block> blocks_;
  uint32_t failure_countdown_ = 0;
};

// The base address of the loaded module that holds `address` (nullptr when unknown).
const void* ModuleBaseOf(const void* address);

}  // namespace xp::ntos::ex
