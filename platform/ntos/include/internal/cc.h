// Cache manager internals: one shared cache map per stream, its pages held in views of neighbouring pages (one
// block each, so a long copy is one lookup and one copy per view), filled by paging reads and written back by
// paging writes, both sent to the top of the stream's device stack in runs of neighbouring pages. The cache holds
// a bounded number of views across all streams: past the bound the views used longest ago that hold nothing dirty
// go, and a writer whose stream holds too many dirty views writes them back itself.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "ddk/ntifs.h"

namespace xp::ntos::cc {

constexpr ULONG kPageSize = PAGE_SIZE;
// A view: this many neighbouring pages (64 KiB) from a multiple of its size.
constexpr LONGLONG kViewPages = 16;
constexpr size_t kViewBytes = kViewPages * kPageSize;
// Paging writes go in runs of at most this many neighbouring pages (256 KiB) ...
constexpr LONGLONG kRunPages = 64;
// ... a read that misses brings in the pages up to the request's end in one run of at most this many (1 MiB) ...
constexpr LONGLONG kReadRunPages = 256;
// ... and at least this many (64 KiB) when the file has them.
constexpr LONGLONG kReadAheadPages = 16;
// What the cache may hold unless the kernel is told otherwise.
constexpr size_t kDefaultCacheBytes = size_t{64} << 20;

using PageBits = uint32_t;  // one bit per page of a view
static_assert(kViewPages <= 32);

struct View {
  uint8_t* bytes = nullptr;  // kViewBytes from the cache's blocks; a page's bytes mean something only while resident
  PageBits resident = 0;
  PageBits dirty = 0;
  uint64_t used = 0;  // the cache's clock when the view was last copied to or from
};

struct SharedCacheMap {
  PSECTION_OBJECT_POINTERS section = nullptr;
  PFILE_OBJECT stream_file = nullptr;  // referenced: paging I/O is issued on it
  CACHE_MANAGER_CALLBACKS callbacks{};
  PVOID lazy_write_context = nullptr;
  LONGLONG file_size = 0;
  LONGLONG valid_data_length = 0;
  std::map<LONGLONG, View> views;  // by view index (page index / kViewPages)
  std::set<LONGLONG> dirty;        // the indexes of the views holding dirty pages, so a flush visits only them
  int open_count = 0;              // file objects with a private cache map on this stream
};

// The blocks views hold their pages in (view_blocks.cc): kept for the kernel's life, handed out again.
class ViewBlocks {
 public:
  ViewBlocks() = default;
  ~ViewBlocks();
  ViewBlocks(const ViewBlocks&) = delete;
  ViewBlocks& operator=(const ViewBlocks&) = delete;
  uint8_t* Take();
  void GiveBack(uint8_t* block);

 private:
  std::vector<void*> arenas_;
  std::vector<uint8_t*> free_;
};

class CacheManager {
 public:
  // The bound on resident views, in bytes (at least two write runs' worth).
  void SetLimit(size_t bytes);
  size_t ResidentBytes();
  void Initialize(PFILE_OBJECT file, const CC_FILE_SIZES& sizes, PCACHE_MANAGER_CALLBACKS callbacks,
                  PVOID lazy_write_context);
  bool Uninitialize(PFILE_OBJECT file, const LONGLONG* truncate_size);
  void SetFileSizes(PFILE_OBJECT file, const CC_FILE_SIZES& sizes);
  // Copies [offset, offset + length) from the cache; the caller keeps the range inside the file.
  NTSTATUS CopyRead(PFILE_OBJECT file, LONGLONG offset, ULONG length, void* buffer);
  // The caller holds the file system's lazy-write lock of the stream (its write path does).
  NTSTATUS CopyWrite(PFILE_OBJECT file, LONGLONG offset, ULONG length, const void* buffer);
  NTSTATUS Flush(PSECTION_OBJECT_POINTERS section, const LONGLONG* offset, ULONG length);
  bool Purge(PSECTION_OBJECT_POINTERS section, const LONGLONG* offset, ULONG length, bool uninitialize);
  void LazyWriterTick();
  // Writes everything and drops every map (shutdown).
  void Shutdown();
  std::optional<std::vector<uint8_t>> Peek(PSECTION_OBJECT_POINTERS section, LONGLONG offset, bool* dirty);

 private:
  SharedCacheMap* MapOf(PSECTION_OBJECT_POINTERS section);
  // Makes page `index` resident, reading it with the missing pages after it up to `wanted_end` (one run), into
  // `into` when given (room for the pages up to `wanted_end`; it ends up holding what the cache holds) and
  // copied into the cache; *filled_end, when asked for, is the end of the run.
  NTSTATUS Fill(SharedCacheMap& map, LONGLONG index, LONGLONG wanted_end, uint8_t* into, LONGLONG* filled_end);
  NTSTATUS FlushLocked(SharedCacheMap& map, LONGLONG first_page, LONGLONG end_page);
  // Drops the map when no file object uses it and nothing is dirty; releases the stream file.
  void DeleteIfUnused(SharedCacheMap* map);

  // Residency (residency.cc): every view comes and goes, and every page turns resident, dirty or clean, only
  // through these, which keep the counts.
  View& ViewAt(SharedCacheMap& map, LONGLONG view_index);  // made, with no page resident, when missing
  void MarkResident(View& view, PageBits pages) { view.resident |= pages; }
  void MarkDirty(SharedCacheMap& map, LONGLONG view_index, View& view, PageBits pages);
  void MarkClean(SharedCacheMap& map, LONGLONG view_index, View& view, PageBits pages);
  // Drops the pages [first_page, end_page), and the views left with none.
  void Drop(SharedCacheMap& map, LONGLONG first_page, LONGLONG end_page);
  // The first page at or after `index` that is resident, or `limit` when none comes before it.
  static LONGLONG NextResident(const SharedCacheMap& map, LONGLONG index, LONGLONG limit);
  void Touch(View& view) { view.used = ++clock_; }
  // Back under the bound: `writer`'s dirty pages written back when too many views are dirty, then the views used
  // longest ago that hold nothing dirty dropped.
  void Trim(SharedCacheMap* writer);
  // The most pages a read's fill brings in: a few runs fit in the bound.
  LONGLONG ReadRunPages() const;
  // A buffer for one run's paging I/O, kept for the next run (a fill may nest: a filter reading the stream).
  std::vector<uint8_t> TakeRunBuffer(size_t bytes);
  void GiveBackRunBuffer(std::vector<uint8_t> buffer);

  std::recursive_mutex lock_;
  std::set<SharedCacheMap*> maps_;
  size_t limit_views_ = kDefaultCacheBytes / kViewBytes;
  size_t resident_views_ = 0;
  size_t dirty_views_ = 0;
  uint64_t clock_ = 0;
  std::vector<std::vector<uint8_t>> spare_runs_;
  ViewBlocks blocks_;
};

// The bits of pages [first, end) of a view (0 <= first <= end <= kViewPages).
constexpr PageBits PagesBetween(LONGLONG first, LONGLONG end) {
  const PageBits below_end = end >= 32 ? ~PageBits{0} : (PageBits{1} << end) - 1;
  return below_end & ~((PageBits{1} << first) - 1);
}

}  // namespace xp::ntos::cc
