// Cache manager internals: one shared cache map per stream with 4,096-byte pages, filled by paging reads and
// written back by paging writes, both sent to the top of the stream's device stack in runs of neighbouring pages.
// The cache holds a bounded number of pages across all streams: past the bound the pages used longest ago that
// are clean go, and a writer whose stream holds too many dirty pages writes them back itself.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "ddk/ntifs.h"

namespace xp::ntos::cc {

constexpr ULONG kPageSize = PAGE_SIZE;
// Paging I/O goes in runs of at most this many neighbouring pages (256 KiB) ...
constexpr LONGLONG kRunPages = 64;
// ... and a read that misses brings in at least this many (64 KiB) when the file has them.
constexpr LONGLONG kReadAheadPages = 16;
// What the cache may hold unless the kernel is told otherwise.
constexpr size_t kDefaultCacheBytes = size_t{64} << 20;

struct Page {
  std::unique_ptr<std::array<uint8_t, kPageSize>> bytes;
  bool dirty = false;
  uint64_t used = 0;  // the cache's clock when the page was last copied to or from
};

struct SharedCacheMap {
  PSECTION_OBJECT_POINTERS section = nullptr;
  PFILE_OBJECT stream_file = nullptr;  // referenced: paging I/O is issued on it
  CACHE_MANAGER_CALLBACKS callbacks{};
  PVOID lazy_write_context = nullptr;
  LONGLONG file_size = 0;
  LONGLONG valid_data_length = 0;
  std::map<LONGLONG, Page> pages;  // by page index
  std::set<LONGLONG> dirty;        // the indexes of the dirty pages, so a flush visits only them
  int open_count = 0;              // file objects with a private cache map on this stream
};

class CacheManager {
 public:
  // The bound on resident pages, in bytes (at least one run's worth).
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
  // Makes page `index` resident, reading it with the missing pages after it up to `wanted_end` (one run).
  NTSTATUS Fill(SharedCacheMap& map, LONGLONG index, LONGLONG wanted_end);
  NTSTATUS FlushLocked(SharedCacheMap& map, LONGLONG first_page, LONGLONG end_page);
  // Drops the map when no file object uses it and nothing is dirty; releases the stream file.
  void DeleteIfUnused(SharedCacheMap* map);

  // Residency (residency.cc): every page enters, changes state and leaves through these, which keep the counts.
  Page& Insert(SharedCacheMap& map, LONGLONG index, Page page);
  void MarkDirty(SharedCacheMap& map, LONGLONG index, Page& page);
  void MarkClean(SharedCacheMap& map, LONGLONG index, Page& page);
  void Drop(SharedCacheMap& map, LONGLONG first_page, LONGLONG end_page);
  void Touch(Page& page) { page.used = ++clock_; }
  // Back under the bound: `writer`'s dirty pages written back when too many pages are dirty, then the clean
  // pages used longest ago dropped.
  void Trim(SharedCacheMap* writer);

  std::recursive_mutex lock_;
  std::set<SharedCacheMap*> maps_;
  size_t limit_pages_ = kDefaultCacheBytes / kPageSize;
  size_t resident_pages_ = 0;
  size_t dirty_pages_ = 0;
  uint64_t clock_ = 0;
};

}  // namespace xp::ntos::cc
