// Copying between callers and the cache, one view at a time. A read that misses brings the missing pages in by
// one paging read of whole pages from the page it needs (at least 64 KiB, up to the end of the request, at most
// one run; never past a resident page or the end of the file), sent to the top of the stream's device stack so a
// filter there sees it; pages at or past the valid data length are zeros without a read. Pages that lie wholly
// in the caller's buffer are read straight into it and copied into the cache from there. A write that covers a
// page wholly needs nothing from below; a partial one reads its one page first.
#include <algorithm>
#include <bit>
#include <cstring>

#include "include/internal/cc.h"
#include "include/internal/io.h"
#include "include/internal/kernel_state.h"

namespace xp::ntos::cc {
namespace {

LONGLONG PagesFor(LONGLONG bytes) { return (bytes + kPageSize - 1) / kPageSize; }

// The part of a copy that falls in one view.
struct Span {
  LONGLONG view_index;
  size_t within;  // byte offset in the view
  size_t length;
  LONGLONG first_page;  // of the view
  LONGLONG end_page;
};

Span SpanAt(LONGLONG offset, size_t remaining) {
  Span span;
  span.view_index = offset / static_cast<LONGLONG>(kViewBytes);
  span.within = static_cast<size_t>(offset % static_cast<LONGLONG>(kViewBytes));
  span.length = std::min(remaining, kViewBytes - span.within);
  span.first_page = static_cast<LONGLONG>(span.within / kPageSize);
  span.end_page = static_cast<LONGLONG>((span.within + span.length + kPageSize - 1) / kPageSize);
  return span;
}

}  // namespace

NTSTATUS CacheManager::Fill(SharedCacheMap& map, LONGLONG index, LONGLONG wanted_end, uint8_t* into,
                            LONGLONG* filled_end) {
  LONGLONG end = std::min({wanted_end, index + ReadRunPages(), std::max(PagesFor(map.file_size), index + 1)});
  end = std::max(NextResident(map, index, end), index + 1);
  if (filled_end != nullptr) *filled_end = end;
  // Only pages holding valid data are read; the rest of the run is zeros.
  const LONGLONG read_end = std::max(index, std::min(end, PagesFor(map.valid_data_length)));
  const size_t run_bytes = static_cast<size_t>(end - index) * kPageSize;
  std::vector<uint8_t> spare;
  if (into == nullptr) {
    spare = TakeRunBuffer(run_bytes);
    into = spare.data();
  }
  const size_t read_bytes = static_cast<size_t>(read_end - index) * kPageSize;
  NTSTATUS status = STATUS_SUCCESS;
  if (read_bytes != 0) {
    ULONG_PTR information = 0;
    status = io::PagingIo(map.stream_file, IRP_MJ_READ, into, index * kPageSize, static_cast<ULONG>(read_bytes),
                          &information);
    if (status == STATUS_END_OF_FILE) {
      std::memset(into, 0, read_bytes);
      status = STATUS_SUCCESS;
    }
  }
  if (NT_SUCCESS(status)) {
    std::memset(into + read_bytes, 0, run_bytes - read_bytes);
    // Pages may have come in while the read was below (a filter reading the stream itself): those stay as they
    // are, and the run takes them.
    for (LONGLONG at = index; at < end;) {
      const LONGLONG view_index = at / kViewPages;
      const LONGLONG base = view_index * kViewPages;
      const LONGLONG stop = std::min(end, base + kViewPages);
      View& view = ViewAt(map, view_index);
      for (LONGLONG page = at; page < stop; ++page) {
        const PageBits bit = PagesBetween(page - base, page - base + 1);
        uint8_t* cached = view.bytes + (page - base) * kPageSize;
        uint8_t* read = into + (page - index) * kPageSize;
        if ((view.resident & bit) != 0) {
          std::memcpy(read, cached, kPageSize);
        } else {
          std::memcpy(cached, read, kPageSize);
          MarkResident(view, bit);
        }
      }
      Touch(view);
      at = stop;
    }
  }
  if (!spare.empty()) GiveBackRunBuffer(std::move(spare));
  return status;
}

NTSTATUS CacheManager::CopyRead(PFILE_OBJECT file, LONGLONG offset, ULONG length, void* buffer) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  SharedCacheMap* map = MapOf(file->SectionObjectPointer);
  if (map == nullptr) return STATUS_INVALID_PARAMETER;
  auto* out = static_cast<uint8_t*>(buffer);
  const LONGLONG wanted_end = std::max(PagesFor(offset + length), offset / kPageSize + kReadAheadPages);
  // The pages wholly inside the caller's buffer may be read straight into it, when they make a run of at least
  // the read-ahead.
  const LONGLONG whole_end = (offset + length) / kPageSize;
  size_t remaining = length;
  NTSTATUS status = STATUS_SUCCESS;
  while (remaining > 0) {
    const Span span = SpanAt(offset, remaining);
    const PageBits needed = PagesBetween(span.first_page, span.end_page);
    auto found = map->views.find(span.view_index);
    const PageBits resident = found == map->views.end() ? 0 : found->second.resident;
    if ((resident & needed) != needed) {
      const LONGLONG missing = span.view_index * kViewPages + std::countr_zero(needed & ~resident);
      const LONGLONG missing_at = missing * kPageSize;
      if (missing_at >= offset && whole_end - missing >= kReadAheadPages) {
        // The resident pages before it from the cache, then the run read into the caller's buffer, which the cache
        // takes a copy of.
        const size_t before = static_cast<size_t>(missing_at - offset);
        if (before != 0) std::memcpy(out, found->second.bytes + span.within, before);
        LONGLONG filled_end = missing;
        status = Fill(*map, missing, whole_end, out + before, &filled_end);
        if (!NT_SUCCESS(status)) break;
        const size_t moved = static_cast<size_t>(filled_end * kPageSize - offset);
        out += moved;
        offset += static_cast<LONGLONG>(moved);
        remaining -= moved;
        continue;
      }
      status = Fill(*map, missing, wanted_end, nullptr, nullptr);
      if (!NT_SUCCESS(status)) break;
      // The span again: the fill may not have reached all of it.
      continue;
    }
    Touch(found->second);
    std::memcpy(out, found->second.bytes + span.within, span.length);
    out += span.length;
    offset += static_cast<LONGLONG>(span.length);
    remaining -= span.length;
  }
  Trim(nullptr);
  return status;
}

NTSTATUS CacheManager::CopyWrite(PFILE_OBJECT file, LONGLONG offset, ULONG length, const void* buffer) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  SharedCacheMap* map = MapOf(file->SectionObjectPointer);
  if (map == nullptr) return STATUS_INVALID_PARAMETER;
  const auto* in = static_cast<const uint8_t*>(buffer);
  size_t remaining = length;
  NTSTATUS status = STATUS_SUCCESS;
  while (remaining > 0) {
    const Span span = SpanAt(offset, remaining);
    const LONGLONG base = span.view_index * kViewPages;
    // A page the write covers only in part keeps the rest of what the disk holds.
    const LONGLONG partial[2] = {span.within % kPageSize != 0 ? span.first_page : -1,
                                 (span.within + span.length) % kPageSize != 0 ? span.end_page - 1 : -1};
    for (LONGLONG page : partial) {
      if (page < 0) continue;
      const auto found = map->views.find(span.view_index);
      const PageBits bit = PagesBetween(page, page + 1);
      if (found != map->views.end() && (found->second.resident & bit) != 0) continue;
      status = Fill(*map, base + page, base + page + 1, nullptr, nullptr);
      if (!NT_SUCCESS(status)) break;
    }
    if (!NT_SUCCESS(status)) break;
    View& view = ViewAt(*map, span.view_index);
    const PageBits pages = PagesBetween(span.first_page, span.end_page);
    Touch(view);
    std::memcpy(view.bytes + span.within, in, span.length);
    MarkResident(view, pages);
    MarkDirty(*map, span.view_index, view, pages);
    in += span.length;
    offset += static_cast<LONGLONG>(span.length);
    remaining -= span.length;
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
