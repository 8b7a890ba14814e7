// Copying between callers and the cache. A read that misses brings the missing pages in by one paging read of
// whole pages from the page it needs (at least 64 KiB, up to the end of the request, at most one run; never past
// a resident page or the end of the file), sent to the top of the stream's device stack so a filter there sees
// it; pages at or past the valid data length are zeros without a read. A write that covers a page wholly needs
// nothing from below; a partial one reads its one page first.
#include <algorithm>
#include <cstring>

#include "include/internal/cc.h"
#include "include/internal/io.h"
#include "include/internal/kernel_state.h"

namespace xp::ntos::cc {
namespace {

LONGLONG PagesFor(LONGLONG bytes) { return (bytes + kPageSize - 1) / kPageSize; }

Page ZeroPage() {
  Page page;
  page.bytes = std::make_unique<std::array<uint8_t, kPageSize>>();
  page.bytes->fill(0);
  return page;
}

}  // namespace

NTSTATUS CacheManager::Fill(SharedCacheMap& map, LONGLONG index, LONGLONG wanted_end) {
  LONGLONG end = std::min({wanted_end, index + kRunPages, std::max(PagesFor(map.file_size), index + 1)});
  const auto resident = map.pages.lower_bound(index);
  if (resident != map.pages.end() && resident->first < end) end = resident->first;
  end = std::max(end, index + 1);
  // Only pages holding valid data are read; the rest of the run is zeros.
  const LONGLONG read_end = std::min(end, PagesFor(map.valid_data_length));
  if (read_end > index) {
    std::vector<uint8_t> run(static_cast<size_t>(read_end - index) * kPageSize);
    ULONG_PTR information = 0;
    const NTSTATUS status = io::PagingIo(map.stream_file, IRP_MJ_READ, run.data(), index * kPageSize,
                                         static_cast<ULONG>(run.size()), &information);
    if (!NT_SUCCESS(status) && status != STATUS_END_OF_FILE) return status;
    // The pages may have come in while the read was below (a filter reading the stream itself).
    for (LONGLONG at = index; at < read_end; ++at) {
      if (map.pages.count(at) != 0) continue;
      Page page = ZeroPage();
      if (NT_SUCCESS(status)) std::memcpy(page.bytes->data(), run.data() + (at - index) * kPageSize, kPageSize);
      Insert(map, at, std::move(page));
    }
  }
  for (LONGLONG at = std::max(index, read_end); at < end; ++at) {
    if (map.pages.count(at) == 0) Insert(map, at, ZeroPage());
  }
  return STATUS_SUCCESS;
}

NTSTATUS CacheManager::CopyRead(PFILE_OBJECT file, LONGLONG offset, ULONG length, void* buffer) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  SharedCacheMap* map = MapOf(file->SectionObjectPointer);
  if (map == nullptr) return STATUS_INVALID_PARAMETER;
  auto* out = static_cast<uint8_t*>(buffer);
  const LONGLONG wanted_end = std::max(PagesFor(offset + length), offset / kPageSize + kReadAheadPages);
  NTSTATUS status = STATUS_SUCCESS;
  while (length > 0) {
    const LONGLONG index = offset / kPageSize;
    const ULONG within = static_cast<ULONG>(offset % kPageSize);
    const ULONG chunk = std::min<ULONG>(length, kPageSize - within);
    auto found = map->pages.find(index);
    if (found == map->pages.end()) {
      status = Fill(*map, index, wanted_end);
      if (!NT_SUCCESS(status)) break;
      found = map->pages.find(index);
    }
    Touch(found->second);
    std::memcpy(out, found->second.bytes->data() + within, chunk);
    out += chunk;
    offset += chunk;
    length -= chunk;
  }
  Trim(nullptr);
  return status;
}

NTSTATUS CacheManager::CopyWrite(PFILE_OBJECT file, LONGLONG offset, ULONG length, const void* buffer) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  SharedCacheMap* map = MapOf(file->SectionObjectPointer);
  if (map == nullptr) return STATUS_INVALID_PARAMETER;
  const auto* in = static_cast<const uint8_t*>(buffer);
  NTSTATUS status = STATUS_SUCCESS;
  while (length > 0) {
    const LONGLONG index = offset / kPageSize;
    const ULONG within = static_cast<ULONG>(offset % kPageSize);
    const ULONG chunk = std::min<ULONG>(length, kPageSize - within);
    auto found = map->pages.find(index);
    if (found == map->pages.end()) {
      if (within == 0 && chunk == kPageSize) {
        Page page;
        page.bytes = std::make_unique<std::array<uint8_t, kPageSize>>();
        Insert(*map, index, std::move(page));
      } else {
        status = Fill(*map, index, index + 1);
        if (!NT_SUCCESS(status)) break;
      }
      found = map->pages.find(index);
    }
    Touch(found->second);
    std::memcpy(found->second.bytes->data() + within, in, chunk);
    MarkDirty(*map, index, found->second);
    in += chunk;
    offset += chunk;
    length -= chunk;
  }
  Trim(map);
  return status;
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
