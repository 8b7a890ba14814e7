// LocalAlloc and LocalFree: fixed blocks on the C heap, for the memory one module allocates and another frees (a
// GINA's network-provider notice strings, freed by Winlogon).
#include <cstdlib>

#include "kernel32_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(kernel32);

// Exported by kernel32.
extern "C" HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  if ((flags & ~LMEM_ZEROINIT) != 0) {
    XP_FIXME("LocalAlloc", "only LMEM_FIXED blocks, optionally LMEM_ZEROINIT, are implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  // A zero-byte block is still a block that LocalFree takes back.
  const size_t size = bytes != 0 ? bytes : 1;
  void* const block = (flags & LMEM_ZEROINIT) != 0 ? std::calloc(1, size) : std::malloc(size);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

// Exported by kernel32.
extern "C" HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}
