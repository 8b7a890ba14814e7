// Cache manager internals: one shared cache map per stream with 4,096-byte pages, filled by paging reads and
// written back by paging writes, both sent to the top of the stream's device stack.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "ddk/ntifs.h"

namespace xp::ntos::cc {

constexpr ULONG kPageSize = PAGE_SIZE;

struct Page {
  std::unique_ptr<std::array<uint8_t, kPageSize>> bytes;
  bool dirty = false;
};

struct SharedCacheMap {
  PSECTION_OBJECT_POINTERS section = nullptr;
  PFILE_OBJECT stream_file = nullptr;  // referenced: paging I/O is issued on it
  CACHE_MANAGER_CALLBACKS callbacks{};
  PVOID lazy_write_context = nullptr;
  LONGLONG file_size = 0;
  LONGLONG valid_data_length = 0;
  std::map<LONGLONG, Page> pages;  // by page index
  int open_count = 0;              // file objects with a private cache map on this stream
  std::recursive_mutex lock;
};

class CacheManager {
 public:
  void Initialize(PFILE_OBJECT file, const CC_FILE_SIZES& sizes, PCACHE_MANAGER_CALLBACKS callbacks,
                  PVOID lazy_write_context);
  bool Uninitialize(PFILE_OBJECT file, const LONGLONG* truncate_size);
  void SetFileSizes(PFILE_OBJECT file, const CC_FILE_SIZES& sizes);
  // Copies [offset, offset + length) from the cache; the caller keeps the range inside the file.
  NTSTATUS CopyRead(PFILE_OBJECT file, LONGLONG offset, ULONG length, void* buffer);
  NTSTATUS CopyWrite(PFILE_OBJECT file, LONGLONG offset, ULONG length, const void* buffer);
  NTSTATUS Flush(PSECTION_OBJECT_POINTERS section, const LONGLONG* offset, ULONG length);
  bool Purge(PSECTION_OBJECT_POINTERS section, const LONGLONG* offset, ULONG length, bool uninitialize);
  void LazyWriterTick();
  // Writes everything and drops every map (shutdown).
  void Shutdown();
  std::optional<std::vector<uint8_t>> Peek(PSECTION_OBJECT_POINTERS section, LONGLONG offset, bool* dirty);

 private:
  SharedCacheMap* MapOf(PSECTION_OBJECT_POINTERS section);
  NTSTATUS FillPage(SharedCacheMap& map, LONGLONG index, Page& page);
  NTSTATUS FlushLocked(SharedCacheMap& map, LONGLONG first_page, LONGLONG end_page);
  // Drops the map when no file object uses it and nothing is dirty; releases the stream file.
  void DeleteIfUnused(SharedCacheMap* map);

  std::recursive_mutex lock_;
  std::set<SharedCacheMap*> maps_;
};

}  // namespace xp::ntos::cc
