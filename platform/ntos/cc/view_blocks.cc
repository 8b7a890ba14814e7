// Memory for the cache's views: 2 MiB arenas, asked of the host as huge pages where it gives them, cut into
// view-sized blocks that are handed out again once their view goes. A fresh 4 KiB page costs the host a fault and
// a clearing on first touch; a huge page costs one fault per 2 MiB, and a block handed out again costs nothing.
#include <sys/mman.h>

#include <cstdlib>
#include <new>

#include "include/internal/cc.h"

namespace xp::ntos::cc {
namespace {

constexpr size_t kArenaBytes = size_t{2} << 20;
static_assert(kArenaBytes % kViewBytes == 0);

}  // namespace

ViewBlocks::~ViewBlocks() {
  for (void* arena : arenas_) std::free(arena);
}

uint8_t* ViewBlocks::Take() {
  if (free_.empty()) {
    void* arena = std::aligned_alloc(kArenaBytes, kArenaBytes);
    if (arena == nullptr) throw std::bad_alloc();
    ::madvise(arena, kArenaBytes, MADV_HUGEPAGE);
    arenas_.push_back(arena);
    auto* bytes = static_cast<uint8_t*>(arena);
    for (size_t at = kArenaBytes; at > 0; at -= kViewBytes) free_.push_back(bytes + at - kViewBytes);
  }
  uint8_t* block = free_.back();
  free_.pop_back();
  return block;
}

void ViewBlocks::GiveBack(uint8_t* block) { free_.push_back(block); }

}  // namespace xp::ntos::cc
