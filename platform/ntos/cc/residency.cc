// The cache's bound. Pages enter, turn dirty or clean and leave only here, so the counts of resident and dirty
// pages stay exact. Past the bound a writer whose pages are mostly dirty writes its own stream back (it holds the
// file system's lock for that stream; other streams wait for the lazy writer), then the clean pages used longest
// ago go, down to seven eighths of the bound, so a file of any size passes through a cache of fixed size.
#include <algorithm>
#include <tuple>
#include <vector>

#include "include/internal/cc.h"

namespace xp::ntos::cc {

void CacheManager::SetLimit(size_t bytes) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  limit_pages_ = std::max<size_t>(bytes / kPageSize, 2 * kRunPages);
}

size_t CacheManager::ResidentBytes() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return resident_pages_ * kPageSize;
}

Page& CacheManager::Insert(SharedCacheMap& map, LONGLONG index, Page page) {
  const auto [at, inserted] = map.pages.emplace(index, std::move(page));
  if (inserted) ++resident_pages_;
  Touch(at->second);
  return at->second;
}

void CacheManager::MarkDirty(SharedCacheMap& map, LONGLONG index, Page& page) {
  if (page.dirty) return;
  page.dirty = true;
  map.dirty.insert(index);
  ++dirty_pages_;
}

void CacheManager::MarkClean(SharedCacheMap& map, LONGLONG index, Page& page) {
  if (!page.dirty) return;
  page.dirty = false;
  map.dirty.erase(index);
  --dirty_pages_;
}

void CacheManager::Drop(SharedCacheMap& map, LONGLONG first_page, LONGLONG end_page) {
  if (first_page >= end_page) return;
  const auto first = map.pages.lower_bound(first_page);
  const auto end = map.pages.lower_bound(end_page);
  for (auto it = first; it != end; ++it) {
    --resident_pages_;
    if (it->second.dirty) --dirty_pages_;
  }
  map.pages.erase(first, end);
  map.dirty.erase(map.dirty.lower_bound(first_page), map.dirty.lower_bound(end_page));
}

void CacheManager::Trim(SharedCacheMap* writer) {
  if (resident_pages_ <= limit_pages_) return;
  if (writer != nullptr && dirty_pages_ > limit_pages_ / 2) FlushLocked(*writer, 0, INT64_MAX);
  if (resident_pages_ <= limit_pages_) return;
  std::vector<std::tuple<uint64_t, SharedCacheMap*, LONGLONG>> clean;
  clean.reserve(resident_pages_ - dirty_pages_);
  for (SharedCacheMap* map : maps_) {
    for (const auto& [index, page] : map->pages) {
      if (!page.dirty) clean.emplace_back(page.used, map, index);
    }
  }
  const size_t target = limit_pages_ - limit_pages_ / 8;
  const size_t excess = std::min(clean.size(), resident_pages_ > target ? resident_pages_ - target : 0);
  std::nth_element(clean.begin(), clean.begin() + static_cast<std::ptrdiff_t>(excess), clean.end());
  for (size_t i = 0; i < excess; ++i) {
    const auto& [used, map, index] = clean[i];
    Drop(*map, index, index + 1);
  }
}

}  // namespace xp::ntos::cc
