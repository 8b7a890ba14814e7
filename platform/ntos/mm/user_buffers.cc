// The user buffers of a request the kernel host serves for a program: while a scope names them, user-mode
// addresses outside them are refused as the user address space of another process would be.
#include "include/internal/io.h"
#include "xp/ntos.h"

namespace xp::ntos {
namespace {

thread_local const std::vector<UserBuffersScope::Range>* active_ranges = nullptr;

}  // namespace

UserBuffersScope::UserBuffersScope(std::vector<Range> ranges) : ranges_(std::move(ranges)), saved_(active_ranges) {
  active_ranges = &ranges_;
}

UserBuffersScope::~UserBuffersScope() { active_ranges = saved_; }

namespace io {

bool InUserBuffers(const void* address, SIZE_T length) {
  if (active_ranges == nullptr) return true;
  const auto start = reinterpret_cast<uintptr_t>(address);
  for (const UserBuffersScope::Range& range : *active_ranges) {
    const auto first = reinterpret_cast<uintptr_t>(range.start);
    if (start >= first && length <= range.length && start - first <= range.length - length) return true;
  }
  return false;
}

}  // namespace io
}  // namespace xp::ntos
