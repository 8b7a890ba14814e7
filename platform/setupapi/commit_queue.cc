// Committing a file queue, and the default queue callback. A commit first makes sure every source is there (a
// missing one is a copy error the callback decides on), so that a failed commit copies nothing; then copies in
// queue order, making the target's folders as needed. With SP_COPY_NEWER a target whose version record is newer
// than the source's is the callback's to keep (a file without a record, or two equal versions: the source wins).
// Files are read and written through the machine's file layer, so only the machine's drives are reached.
#include "file_queue.h"
#include "fileapi.h"
#include "setupapi_private.h"
#include "windows.h"
#include "xp/machine.h"

namespace xp::setupapi {
namespace {

struct DefaultCallbackContext {
  HWND owner = nullptr;
};

ObjectTable<DefaultCallbackContext>& Contexts() { return ObjectTable<DefaultCallbackContext>::Instance(); }

bool SourceReadable(const std::string& path, DWORD* error) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    *error = GetLastError();
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  return true;
}

bool MakeFolders(const std::string& file) {
  const size_t last = file.find_last_of('\\');
  if (last == std::string::npos || last < 3) return true;
  for (size_t at = file.find('\\', 3);; at = file.find('\\', at + 1)) {
    const std::string part = file.substr(0, at);
    if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (at == last) return true;
  }
}

bool TargetIsNewer(const QueuedCopy& copy) {
  if ((copy.style & SP_COPY_NEWER) == 0) return false;
  const std::optional<uint64_t> target = FileVersion(copy.target);
  const std::optional<uint64_t> source = FileVersion(copy.source);
  return target && source && *target > *source;
}

// What the callback says to a failed copy: FILEOP_ABORT ends the commit.
UINT CopyError(PSP_FILE_CALLBACK_A callback, PVOID context, const QueuedCopy& copy, DWORD error) {
  FILEPATHS_A paths{copy.target.c_str(), copy.source.c_str(), error, 0};
  return callback(context, SPFILENOTIFY_COPYERROR, reinterpret_cast<UINT_PTR>(&paths), 0);
}

}  // namespace
}  // namespace xp::setupapi

using xp::setupapi::Fail;

// Exported by setupapi. The owner window only matters on screen.
extern "C" PVOID SetupInitDefaultQueueCallback(HWND owner) {
  if (const std::optional<DWORD> error = xp::setupapi::FaultOf("SetupInitDefaultQueueCallback")) {
    SetLastError(*error);
    return nullptr;
  }
  return xp::setupapi::Contexts().Add(
      std::make_shared<xp::setupapi::DefaultCallbackContext>(xp::setupapi::DefaultCallbackContext{owner}));
}

// Exported by setupapi.
extern "C" void SetupTermDefaultQueueCallback(PVOID context) { xp::setupapi::Contexts().Remove(context); }

// Exported by setupapi. No one is asked: the newer file on the machine is kept, and a copy that failed (its
// source missing, say) ends the commit, as the user's Cancel would.
extern "C" UINT SetupDefaultQueueCallbackA(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) {
  if (!xp::setupapi::Contexts().Find(context)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FILEOP_ABORT;
  }
  switch (notification) {
    case SPFILENOTIFY_TARGETNEWER:
      return FALSE;
    case SPFILENOTIFY_COPYERROR:
      SetLastError(reinterpret_cast<const FILEPATHS_A*>(param1)->Win32Error);
      return FILEOP_ABORT;
    default:
      return FILEOP_DOIT;
  }
}

// Exported by setupapi. The queue is spent once committed.
extern "C" BOOL SetupCommitFileQueueA(HWND, HSPFILEQ queue_handle, PSP_FILE_CALLBACK_A callback, PVOID context) {
  using xp::setupapi::QueuedCopy;
  const auto queue = xp::setupapi::FileQueues().Find(queue_handle);
  if (!queue) return Fail(ERROR_INVALID_HANDLE);
  if (callback == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (const std::optional<DWORD> error = xp::setupapi::FaultOf("SetupCommitFileQueueA")) return Fail(*error);
  std::vector<QueuedCopy> copies = std::move(queue->copies);
  queue->copies.clear();
  std::vector<const QueuedCopy*> kept;
  for (const QueuedCopy& copy : copies) {
    DWORD error = ERROR_SUCCESS;
    if (xp::setupapi::SourceReadable(copy.source, &error)) {
      kept.push_back(&copy);
    } else if (xp::setupapi::CopyError(callback, context, copy, error) != FILEOP_SKIP) {
      return Fail(error);
    }
  }
  for (const QueuedCopy* copy : kept) {
    if (xp::setupapi::TargetIsNewer(*copy)) {
      FILEPATHS_A paths{copy->target.c_str(), copy->source.c_str(), ERROR_SUCCESS, 0};
      if (callback(context, SPFILENOTIFY_TARGETNEWER, reinterpret_cast<UINT_PTR>(&paths), 0) == FALSE) {
        xp::machine::Journal("setupapi kept the newer " + copy->target);
        continue;
      }
    }
    if (!xp::setupapi::MakeFolders(copy->target) || !CopyFileA(copy->source.c_str(), copy->target.c_str(), FALSE)) {
      const DWORD error = GetLastError();
      if (xp::setupapi::CopyError(callback, context, *copy, error) == FILEOP_SKIP) continue;
      return Fail(error);
    }
    xp::machine::Journal("setupapi copied " + copy->source + " to " + copy->target);
  }
  return xp::setupapi::Succeed();
}
