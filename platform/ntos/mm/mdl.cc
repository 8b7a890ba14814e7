// Memory descriptor lists over the host's flat memory: system addresses are the buffers' own, locking is
// bookkeeping, and probing checks user-mode ranges (raising STATUS_ACCESS_VIOLATION through seh.h).
#include <cstdint>
#include <cstdlib>

#include "include/internal/io.h"
#include "include/internal/kernel_state.h"

using namespace xp::ntos;

namespace xp::ntos::io {

bool ValidUserRange(const void* address, SIZE_T length) {
  const auto start = reinterpret_cast<uintptr_t>(address);
  // The first 64 KiB are never mapped, as on XP; a range may not wrap.
  if (length == 0) return true;
  return start >= 0x10000 && start + length > start && InUserBuffers(address, length);
}

}  // namespace xp::ntos::io

extern "C" {

// Exported by the kernel model.
PMDL IoAllocateMdl(PVOID virtual_address, ULONG length, BOOLEAN secondary_buffer, BOOLEAN, PIRP irp) {
  auto* mdl = static_cast<PMDL>(std::calloc(1, sizeof(MDL)));
  if (mdl == nullptr) return nullptr;
  const auto address = reinterpret_cast<uintptr_t>(virtual_address);
  mdl->Size = sizeof(MDL);
  mdl->StartVa = reinterpret_cast<PVOID>(address & ~static_cast<uintptr_t>(PAGE_SIZE - 1));
  mdl->ByteOffset = static_cast<ULONG>(address & (PAGE_SIZE - 1));
  mdl->ByteCount = length;
  if (irp != nullptr) {
    if (!secondary_buffer || irp->MdlAddress == nullptr) {
      irp->MdlAddress = mdl;
    } else {
      PMDL last = irp->MdlAddress;
      while (last->Next != nullptr) last = last->Next;
      last->Next = mdl;
    }
  }
  return mdl;
}

void IoFreeMdl(PMDL mdl) { std::free(mdl); }

void MmProbeAndLockPages(PMDL mdl, KPROCESSOR_MODE access_mode, LOCK_OPERATION operation) {
  if (access_mode == UserMode && !io::ValidUserRange(MmGetMdlVirtualAddress(mdl), mdl->ByteCount)) {
    ExRaiseStatus(STATUS_ACCESS_VIOLATION);
  }
  mdl->MdlFlags |= MDL_PAGES_LOCKED | (operation != IoReadAccess ? MDL_WRITE_OPERATION : 0);
}

void MmUnlockPages(PMDL mdl) { mdl->MdlFlags &= ~(MDL_PAGES_LOCKED | MDL_MAPPED_TO_SYSTEM_VA); }

void MmBuildMdlForNonPagedPool(PMDL mdl) {
  mdl->MdlFlags |= MDL_SOURCE_IS_NONPAGED_POOL;
  mdl->MappedSystemVa = MmGetMdlVirtualAddress(mdl);
}

PVOID MmGetSystemAddressForMdlSafe(PMDL mdl, MM_PAGE_PRIORITY) {
  if (KernelState* state = StateIfAny()) {
    uint32_t countdown = state->mapping_failure_countdown.load();
    while (countdown > 0 && !state->mapping_failure_countdown.compare_exchange_weak(countdown, countdown - 1)) {
    }
    if (countdown == 1) return nullptr;
  }
  if ((mdl->MdlFlags & (MDL_MAPPED_TO_SYSTEM_VA | MDL_SOURCE_IS_NONPAGED_POOL)) == 0) {
    mdl->MappedSystemVa = MmGetMdlVirtualAddress(mdl);
    mdl->MdlFlags |= MDL_MAPPED_TO_SYSTEM_VA;
  }
  return mdl->MappedSystemVa;
}

void ProbeForRead(const void* address, SIZE_T length, ULONG alignment) {
  if (length == 0) return;
  if (alignment > 1 && reinterpret_cast<uintptr_t>(address) % alignment != 0) {
    ExRaiseStatus(STATUS_DATATYPE_MISALIGNMENT);
  }
  if (!io::ValidUserRange(address, length)) ExRaiseStatus(STATUS_ACCESS_VIOLATION);
}

void ProbeForWrite(PVOID address, SIZE_T length, ULONG alignment) { ProbeForRead(address, length, alignment); }

}  // extern "C"
