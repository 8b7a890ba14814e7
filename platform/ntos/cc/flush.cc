// Writing the cache back: one paging write per run of neighbouring dirty pages (whole pages at page offsets, at
// most kRunPages of them; the file system trims at the end of file), found through the stream's index of dirty
// pages and sent to the top of the stream's stack with the file system and the filters acquired for the flush.
// The lazy writer does the same for every stream when told to run.
#include <vector>

#include "include/internal/cc.h"
#include "include/internal/fsrtl.h"
#include "include/internal/io.h"
#include "include/internal/kernel_state.h"

namespace xp::ntos::cc {
namespace {

// Holds the file system's lazy-write lock (taken before the cache's own, as every file-system path does).
class LazyWriteScope {
 public:
  explicit LazyWriteScope(SharedCacheMap* map) : map_(map) {
    if (map_->callbacks.AcquireForLazyWrite != nullptr) map_->callbacks.AcquireForLazyWrite(map_->lazy_write_context, TRUE);
  }
  ~LazyWriteScope() {
    if (map_->callbacks.ReleaseFromLazyWrite != nullptr) map_->callbacks.ReleaseFromLazyWrite(map_->lazy_write_context);
  }

 private:
  SharedCacheMap* map_;
};

}  // namespace

NTSTATUS CacheManager::FlushLocked(SharedCacheMap& map, LONGLONG first_page, LONGLONG end_page) {
  if (map.dirty.lower_bound(first_page) == map.dirty.lower_bound(end_page)) return STATUS_SUCCESS;
  PFILE_OBJECT file = map.stream_file;
  NTSTATUS status = fsrtl::AcquireForCcFlush(file);
  if (!NT_SUCCESS(status)) return status;
  std::vector<uint8_t> run;
  for (auto next = map.dirty.lower_bound(first_page); next != map.dirty.end() && *next < end_page;
       next = map.dirty.lower_bound(first_page)) {
    // The run: the dirty pages that follow each other from here, each marked clean as it is copied out.
    const LONGLONG start = *next;
    LONGLONG end = start;
    run.clear();
    for (auto page = map.pages.find(start); page != map.pages.end() && page->first == end && page->second.dirty &&
                                            end < end_page && end - start < kRunPages;
         ++page, ++end) {
      run.insert(run.end(), page->second.bytes->begin(), page->second.bytes->end());
      MarkClean(map, end, page->second);
    }
    ULONG_PTR information = 0;
    status = io::PagingIo(file, IRP_MJ_WRITE, run.data(), start * kPageSize, static_cast<ULONG>(run.size()),
                          &information);
    if (!NT_SUCCESS(status)) {
      for (LONGLONG index = start; index < end; ++index) {
        const auto page = map.pages.find(index);
        if (page != map.pages.end()) MarkDirty(map, index, page->second);
      }
      break;
    }
    first_page = end;
  }
  fsrtl::ReleaseForCcFlush(file);
  return status;
}

NTSTATUS CacheManager::Flush(PSECTION_OBJECT_POINTERS section, const LONGLONG* offset, ULONG length) {
  SharedCacheMap* map = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    map = MapOf(section);
    if (map == nullptr) return STATUS_SUCCESS;
  }
  LazyWriteScope acquired(map);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (offset == nullptr) return FlushLocked(*map, 0, INT64_MAX);
  const LONGLONG end = length == 0 ? INT64_MAX : (*offset + length + kPageSize - 1) / kPageSize;
  return FlushLocked(*map, *offset / kPageSize, end);
}

void CacheManager::LazyWriterTick() {
  std::vector<SharedCacheMap*> maps;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    maps.assign(maps_.begin(), maps_.end());
  }
  for (SharedCacheMap* map : maps) {
    {
      std::lock_guard<std::recursive_mutex> guard(lock_);
      if (maps_.count(map) == 0) continue;
    }
    {
      LazyWriteScope acquired(map);
      std::lock_guard<std::recursive_mutex> guard(lock_);
      FlushLocked(*map, 0, INT64_MAX);
    }
    DeleteIfUnused(map);
  }
}

void CacheManager::Shutdown() {
  LazyWriterTick();
  std::vector<SharedCacheMap*> maps;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    maps.assign(maps_.begin(), maps_.end());
  }
  for (SharedCacheMap* map : maps) {
    {
      std::lock_guard<std::recursive_mutex> guard(lock_);
      Drop(*map, 0, INT64_MAX);
      map->open_count = 0;
    }
    DeleteIfUnused(map);
  }
}

}  // namespace xp::ntos::cc

using namespace xp::ntos;

extern "C" {

// Exported by the kernel model.
void CcFlushCache(PSECTION_OBJECT_POINTERS section, PLARGE_INTEGER offset, ULONG length,
                  PIO_STATUS_BLOCK io_status) {
  const LONGLONG start = offset != nullptr ? offset->QuadPart : 0;
  const NTSTATUS status = State().cache.Flush(section, offset != nullptr ? &start : nullptr, length);
  if (io_status != nullptr) {
    io_status->Status = status;
    io_status->Information = 0;
  }
}

BOOLEAN CcPurgeCacheSection(PSECTION_OBJECT_POINTERS section, PLARGE_INTEGER offset, ULONG length,
                            BOOLEAN uninitialize_cache_maps) {
  const LONGLONG start = offset != nullptr ? offset->QuadPart : 0;
  return State().cache.Purge(section, offset != nullptr ? &start : nullptr, length, uninitialize_cache_maps);
}

}  // extern "C"
