// The cache's bound. Views come and go, and pages turn resident, dirty or clean, only here, so the counts of
// resident and dirty views stay exact. Past the bound a writer whose views are mostly dirty writes its own stream
// back (it holds the file system's lock for that stream; other streams wait for the lazy writer), then the views
// used longest ago that hold nothing dirty go, down to seven eighths of the bound, so a file of any size passes
// through a cache of fixed size.
#include <algorithm>
#include <bit>
#include <tuple>
#include <vector>

#include "include/internal/cc.h"

namespace xp::ntos::cc {

void CacheManager::SetLimit(size_t bytes) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  limit_views_ = std::max<size_t>(bytes / kViewBytes, 2 * kRunPages / kViewPages);
}

size_t CacheManager::ResidentBytes() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return resident_views_ * kViewBytes;
}

LONGLONG CacheManager::ReadRunPages() const {
  return std::clamp<LONGLONG>(static_cast<LONGLONG>(limit_views_) * kViewPages / 4, kViewPages, kReadRunPages);
}

View& CacheManager::ViewAt(SharedCacheMap& map, LONGLONG view_index) {
  const auto found = map.views.find(view_index);
  if (found != map.views.end()) return found->second;
  uint8_t* bytes = blocks_.Take();
  View& view = map.views[view_index];
  view.bytes = bytes;
  ++resident_views_;
  return view;
}

void CacheManager::MarkDirty(SharedCacheMap& map, LONGLONG view_index, View& view, PageBits pages) {
  if (view.dirty == 0 && pages != 0) {
    map.dirty.insert(view_index);
    ++dirty_views_;
  }
  view.dirty |= pages;
}

void CacheManager::MarkClean(SharedCacheMap& map, LONGLONG view_index, View& view, PageBits pages) {
  if (view.dirty == 0) return;
  view.dirty &= ~pages;
  if (view.dirty == 0) {
    map.dirty.erase(view_index);
    --dirty_views_;
  }
}

void CacheManager::Drop(SharedCacheMap& map, LONGLONG first_page, LONGLONG end_page) {
  if (first_page >= end_page) return;
  auto it = map.views.lower_bound(first_page / kViewPages);
  while (it != map.views.end() && it->first * kViewPages < end_page) {
    const LONGLONG base = it->first * kViewPages;
    const PageBits pages =
        PagesBetween(std::max(first_page, base) - base, std::min(end_page, base + kViewPages) - base);
    View& view = it->second;
    MarkClean(map, it->first, view, pages);
    view.resident &= ~pages;
    if (view.resident == 0) {
      --resident_views_;
      blocks_.GiveBack(view.bytes);
      it = map.views.erase(it);
    } else {
      ++it;
    }
  }
}

LONGLONG CacheManager::NextResident(const SharedCacheMap& map, LONGLONG index, LONGLONG limit) {
  for (auto it = map.views.lower_bound(index / kViewPages); it != map.views.end(); ++it) {
    const LONGLONG base = it->first * kViewPages;
    if (base >= limit) break;
    const PageBits from = index > base ? PagesBetween(index - base, kViewPages) : ~PageBits{0};
    const PageBits found = it->second.resident & from;
    if (found != 0) return std::min(limit, base + std::countr_zero(found));
  }
  return limit;
}

void CacheManager::Trim(SharedCacheMap* writer) {
  if (resident_views_ <= limit_views_) return;
  if (writer != nullptr && dirty_views_ > limit_views_ / 2) FlushLocked(*writer, 0, INT64_MAX);
  if (resident_views_ <= limit_views_) return;
  std::vector<std::tuple<uint64_t, SharedCacheMap*, LONGLONG>> clean;
  clean.reserve(resident_views_ - dirty_views_);
  for (SharedCacheMap* map : maps_) {
    for (const auto& [index, view] : map->views) {
      if (view.dirty == 0) clean.emplace_back(view.used, map, index);
    }
  }
  const size_t target = limit_views_ - limit_views_ / 8;
  const size_t excess = std::min(clean.size(), resident_views_ > target ? resident_views_ - target : 0);
  std::nth_element(clean.begin(), clean.begin() + static_cast<std::ptrdiff_t>(excess), clean.end());
  for (size_t i = 0; i < excess; ++i) {
    const auto& [used, map, index] = clean[i];
    Drop(*map, index * kViewPages, (index + 1) * kViewPages);
  }
}

std::vector<uint8_t> CacheManager::TakeRunBuffer(size_t bytes) {
  std::vector<uint8_t> buffer;
  if (!spare_runs_.empty()) {
    buffer = std::move(spare_runs_.back());
    spare_runs_.pop_back();
  }
  buffer.resize(bytes);
  return buffer;
}

void CacheManager::GiveBackRunBuffer(std::vector<uint8_t> buffer) {
  if (spare_runs_.size() < 2) spare_runs_.push_back(std::move(buffer));
}

}  // namespace xp::ntos::cc
