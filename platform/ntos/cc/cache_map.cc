// Shared cache maps: one per stream, found through the stream's section object pointers, holding 4,096-byte
// pages in views (residency.cc keeps their number bounded). A map keeps a reference on the file object it was
// first set up with (its paging I/O goes out on that file), and goes away once no file object uses it and nothing
// in it is dirty.
#include <cstring>

#include "include/internal/cc.h"

namespace xp::ntos::cc {
namespace {

// Zeroes the rest of the page holding `size` (the pages wholly past it are dropped by the caller).
void ZeroPastEnd(SharedCacheMap& map, LONGLONG size) {
  const ULONG within = static_cast<ULONG>(size % kPageSize);
  if (within == 0) return;
  const LONGLONG page = size / kPageSize;
  const auto view = map.views.find(page / kViewPages);
  const PageBits bit = PagesBetween(page % kViewPages, page % kViewPages + 1);
  if (view == map.views.end() || (view->second.resident & bit) == 0) return;
  std::memset(view->second.bytes + (page % kViewPages) * kPageSize + within, 0, kPageSize - within);
}

LONGLONG PagesFor(LONGLONG bytes) { return (bytes + kPageSize - 1) / kPageSize; }

}  // namespace

SharedCacheMap* CacheManager::MapOf(PSECTION_OBJECT_POINTERS section) {
  if (section == nullptr) return nullptr;
  return static_cast<SharedCacheMap*>(section->SharedCacheMap);
}

void CacheManager::Initialize(PFILE_OBJECT file, const CC_FILE_SIZES& sizes, PCACHE_MANAGER_CALLBACKS callbacks,
                              PVOID lazy_write_context) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  SharedCacheMap* map = MapOf(file->SectionObjectPointer);
  if (map == nullptr) {
    map = new SharedCacheMap;
    map->section = file->SectionObjectPointer;
    map->stream_file = file;
    ObReferenceObject(file);
    if (callbacks != nullptr) map->callbacks = *callbacks;
    map->lazy_write_context = lazy_write_context;
    map->file_size = sizes.FileSize.QuadPart;
    map->valid_data_length = sizes.ValidDataLength.QuadPart;
    file->SectionObjectPointer->SharedCacheMap = map;
    maps_.insert(map);
  }
  if (file->PrivateCacheMap == nullptr) {
    file->PrivateCacheMap = map;
    ++map->open_count;
  }
}

bool CacheManager::Uninitialize(PFILE_OBJECT file, const LONGLONG* truncate_size) {
  SharedCacheMap* map = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    map = MapOf(file->SectionObjectPointer);
    if (map == nullptr) return TRUE;
    if (file->PrivateCacheMap != nullptr) {
      file->PrivateCacheMap = nullptr;
      --map->open_count;
    }
    if (truncate_size != nullptr) {
      Drop(*map, PagesFor(*truncate_size), INT64_MAX);
      ZeroPastEnd(*map, *truncate_size);
      if (*truncate_size < map->file_size) map->file_size = *truncate_size;
    }
  }
  DeleteIfUnused(map);
  return TRUE;
}

void CacheManager::SetFileSizes(PFILE_OBJECT file, const CC_FILE_SIZES& sizes) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  SharedCacheMap* map = MapOf(file->SectionObjectPointer);
  if (map == nullptr) return;
  if (sizes.FileSize.QuadPart < map->file_size) {
    Drop(*map, PagesFor(sizes.FileSize.QuadPart), INT64_MAX);
    ZeroPastEnd(*map, sizes.FileSize.QuadPart);
  }
  map->file_size = sizes.FileSize.QuadPart;
  map->valid_data_length = sizes.ValidDataLength.QuadPart;
}

bool CacheManager::Purge(PSECTION_OBJECT_POINTERS section, const LONGLONG* offset, ULONG length,
                         bool uninitialize) {
  SharedCacheMap* map = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    map = MapOf(section);
    if (map == nullptr) return TRUE;
    if (offset == nullptr) {
      Drop(*map, 0, INT64_MAX);
    } else {
      Drop(*map, *offset / kPageSize, length == 0 ? INT64_MAX : PagesFor(*offset + length));
    }
  }
  if (uninitialize) DeleteIfUnused(map);
  return TRUE;
}

void CacheManager::DeleteIfUnused(SharedCacheMap* map) {
  PFILE_OBJECT released = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (maps_.count(map) == 0 || map->open_count > 0 || !map->dirty.empty()) return;
    Drop(*map, 0, INT64_MAX);
    maps_.erase(map);
    map->section->SharedCacheMap = nullptr;
    released = map->stream_file;
    delete map;
  }
  // Outside the cache's lock: the last reference sends IRP_MJ_CLOSE down the stack.
  ObDereferenceObject(released);
}

std::optional<std::vector<uint8_t>> CacheManager::Peek(PSECTION_OBJECT_POINTERS section, LONGLONG offset,
                                                       bool* dirty) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  SharedCacheMap* map = MapOf(section);
  if (map == nullptr) return std::nullopt;
  const LONGLONG page = offset / kPageSize;
  const auto found = map->views.find(page / kViewPages);
  const PageBits bit = PagesBetween(page % kViewPages, page % kViewPages + 1);
  if (found == map->views.end() || (found->second.resident & bit) == 0) return std::nullopt;
  if (dirty != nullptr) *dirty = (found->second.dirty & bit) != 0;
  const uint8_t* bytes = found->second.bytes + (page % kViewPages) * kPageSize;
  return std::vector<uint8_t>(bytes, bytes + kPageSize);
}

}  // namespace xp::ntos::cc
