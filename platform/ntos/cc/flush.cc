// Writing the cache back: one paging write per run of neighbouring dirty pages (whole pages at page offsets, at
// most kRunPages of them, across views; the file system trims at the end of file), found through the stream's
// index of views holding dirty pages and sent to the top of the stream's stack with the file system and the
// filters acquired for the flush. The lazy writer does the same for every stream when told to run.
#include <algorithm>
#include <bit>
#include <cstring>
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

// The first dirty page in [first_page, end_page), or end_page.
LONGLONG NextDirty(const SharedCacheMap& map, LONGLONG first_page, LONGLONG end_page) {
  for (auto it = map.dirty.lower_bound(first_page / kViewPages); it != map.dirty.end(); ++it) {
    const LONGLONG base = *it * kViewPages;
    if (base >= end_page) break;
    const PageBits from = first_page > base ? PagesBetween(first_page - base, kViewPages) : ~PageBits{0};
    const PageBits found = map.views.at(*it).dirty & from;
    if (found != 0) return std::min(end_page, base + std::countr_zero(found));
  }
  return end_page;
}

}  // namespace

NTSTATUS CacheManager::FlushLocked(SharedCacheMap& map, LONGLONG first_page, LONGLONG end_page) {
  if (NextDirty(map, first_page, end_page) == end_page) return STATUS_SUCCESS;
  PFILE_OBJECT file = map.stream_file;
  NTSTATUS status = fsrtl::AcquireForCcFlush(file);
  if (!NT_SUCCESS(status)) return status;
  std::vector<uint8_t> run = TakeRunBuffer(kRunPages * kPageSize);
  for (LONGLONG start = NextDirty(map, first_page, end_page); start < end_page;
       start = NextDirty(map, start, end_page)) {
    // The run: the dirty pages that follow each other from here, each marked clean as it is copied out.
    LONGLONG end = start;
    const LONGLONG limit = std::min(end_page, start + kRunPages);
    while (end < limit) {
      const auto view = map.views.find(end / kViewPages);
      if (view == map.views.end()) break;
      const LONGLONG base = view->first * kViewPages;
      const PageBits from = PagesBetween(end - base, std::min(limit, base + kViewPages) - base);
      // The dirty pages of this view from `end` on that follow each other.
      const PageBits clean_after = ~view->second.dirty & from;
      const LONGLONG stop =
          clean_after != 0 ? base + std::countr_zero(clean_after) : std::min(limit, base + kViewPages);
      if (stop == end) break;
      std::memcpy(run.data() + (end - start) * kPageSize, view->second.bytes + (end - base) * kPageSize,
                  static_cast<size_t>(stop - end) * kPageSize);
      MarkClean(map, view->first, view->second, PagesBetween(end - base, stop - base));
      end = stop;
      if (clean_after != 0) break;
    }
    ULONG_PTR information = 0;
    status = io::PagingIo(file, IRP_MJ_WRITE, run.data(), start * kPageSize,
                          static_cast<ULONG>((end - start) * kPageSize), &information);
    if (!NT_SUCCESS(status)) {
      for (LONGLONG index = start; index < end; ++index) {
        const auto view = map.views.find(index / kViewPages);
        if (view == map.views.end()) continue;
        const PageBits bit = PagesBetween(index % kViewPages, index % kViewPages + 1);
        if ((view->second.resident & bit) != 0) MarkDirty(map, view->first, view->second, bit);
      }
      break;
    }
    start = end;
  }
  GiveBackRunBuffer(std::move(run));
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
