// Copying between callers and the cache. A page that is not resident is filled by one paging read of exactly
// 4,096 bytes at its page offset, sent to the top of the stream's device stack (a filter there sees it); pages
// at or past the valid data length are zeros without a read.
#include <algorithm>
#include <cstring>

#include "include/internal/cc.h"
#include "include/internal/io.h"
#include "include/internal/kernel_state.h"

namespace xp::ntos::cc {

NTSTATUS CacheManager::FillPage(SharedCacheMap& map, LONGLONG index, Page& page) {
  page.bytes = std::make_unique<std::array<uint8_t, kPageSize>>();
  page.bytes->fill(0);
  const LONGLONG offset = index * kPageSize;
  if (offset >= map.valid_data_length) return STATUS_SUCCESS;
  ULONG_PTR information = 0;
  const NTSTATUS status = io::PagingIo(map.stream_file, IRP_MJ_READ, page.bytes->data(), offset, kPageSize,
                                       &information);
  if (status == STATUS_END_OF_FILE) return STATUS_SUCCESS;
  return status;
}

NTSTATUS CacheManager::CopyRead(PFILE_OBJECT file, LONGLONG offset, ULONG length, void* buffer) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  SharedCacheMap* map = MapOf(file->SectionObjectPointer);
  if (map == nullptr) return STATUS_INVALID_PARAMETER;
  auto* out = static_cast<uint8_t*>(buffer);
  while (length > 0) {
    const LONGLONG index = offset / kPageSize;
    const ULONG within = static_cast<ULONG>(offset % kPageSize);
    const ULONG chunk = std::min<ULONG>(length, kPageSize - within);
    auto found = map->pages.find(index);
    if (found == map->pages.end()) {
      Page page;
      const NTSTATUS status = FillPage(*map, index, page);
      if (!NT_SUCCESS(status)) return status;
      found = map->pages.emplace(index, std::move(page)).first;
    }
    std::memcpy(out, found->second.bytes->data() + within, chunk);
    out += chunk;
    offset += chunk;
    length -= chunk;
  }
  return STATUS_SUCCESS;
}

NTSTATUS CacheManager::CopyWrite(PFILE_OBJECT file, LONGLONG offset, ULONG length, const void* buffer) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  SharedCacheMap* map = MapOf(file->SectionObjectPointer);
  if (map == nullptr) return STATUS_INVALID_PARAMETER;
  const auto* in = static_cast<const uint8_t*>(buffer);
  while (length > 0) {
    const LONGLONG index = offset / kPageSize;
    const ULONG within = static_cast<ULONG>(offset % kPageSize);
    const ULONG chunk = std::min<ULONG>(length, kPageSize - within);
    auto found = map->pages.find(index);
    if (found == map->pages.end()) {
      Page page;
      // A whole-page write needs nothing from below; a partial one keeps the page's other bytes.
      const bool whole_page = within == 0 && chunk == kPageSize;
      const NTSTATUS status = whole_page ? STATUS_SUCCESS : FillPage(*map, index, page);
      if (!NT_SUCCESS(status)) return status;
      if (whole_page) page.bytes = std::make_unique<std::array<uint8_t, kPageSize>>();
      found = map->pages.emplace(index, std::move(page)).first;
    }
    std::memcpy(found->second.bytes->data() + within, in, chunk);
    found->second.dirty = true;
    in += chunk;
    offset += chunk;
    length -= chunk;
  }
  return STATUS_SUCCESS;
}

}  // namespace xp::ntos::cc

using namespace xp::ntos;

extern "C" {

// Exported by the kernel model.
void CcInitializeCacheMap(PFILE_OBJECT file, PCC_FILE_SIZES sizes, BOOLEAN, PCACHE_MANAGER_CALLBACKS callbacks,
                          PVOID lazy_write_context) {
  State().cache.Initialize(file, *sizes, callbacks, lazy_write_context);
}

BOOLEAN CcUninitializeCacheMap(PFILE_OBJECT file, PLARGE_INTEGER truncate_size, PVOID) {
  const LONGLONG size = truncate_size != nullptr ? truncate_size->QuadPart : 0;
  return State().cache.Uninitialize(file, truncate_size != nullptr ? &size : nullptr);
}

void CcSetFileSizes(PFILE_OBJECT file, PCC_FILE_SIZES sizes) { State().cache.SetFileSizes(file, *sizes); }

BOOLEAN CcCopyRead(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN, PVOID buffer,
                   PIO_STATUS_BLOCK io_status) {
  const NTSTATUS status = State().cache.CopyRead(file, offset->QuadPart, length, buffer);
  if (!NT_SUCCESS(status)) ExRaiseStatus(status);
  io_status->Status = STATUS_SUCCESS;
  io_status->Information = length;
  return TRUE;
}

BOOLEAN CcCopyWrite(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN, PVOID buffer) {
  const NTSTATUS status = State().cache.CopyWrite(file, offset->QuadPart, length, buffer);
  if (!NT_SUCCESS(status)) ExRaiseStatus(status);
  return TRUE;
}

}  // extern "C"
