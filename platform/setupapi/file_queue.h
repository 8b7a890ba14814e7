// A file queue (HSPFILEQ): the copies queued from INF sections, carried out by a commit.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "object_table.h"
#include "windef.h"

namespace xp::setupapi {

struct QueuedCopy {
  std::string source;  // "C:\drv\nubousb.sys"
  std::string target;  // "C:\WINDOWS\system32\drivers\nubousb.sys"
  UINT style = 0;      // SP_COPY_* flags
};

struct FileQueue {
  std::vector<QueuedCopy> copies;
};

inline ObjectTable<FileQueue>& FileQueues() { return ObjectTable<FileQueue>::Instance(); }

// file_version.cc: the file version a file's version record gives ((MS << 32) | LS), or nullopt for a file
// without one (or one that cannot be read). The record is the VS_FIXEDFILEINFO of a version resource, found on
// its own: the first 4-byte-aligned signature 0xFEEF04BD followed by the structure version 0x00010000.
std::optional<uint64_t> FileVersion(const std::string& windows_path);

}  // namespace xp::setupapi
