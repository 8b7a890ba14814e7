// Directory searches: FindFirstFileA("folder\*.*") opens the folder and asks the file system for its entries in
// batches ("." and ".." first outside a root, then by upper-cased name, as the file system orders them);
// FindNextFileA walks on to ERROR_NO_MORE_FILES; FindClose closes the folder.
#include <algorithm>
#include <cstring>
#include <vector>

#include "ddk/ntifs.h"
#include "file_layer.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

constexpr ULONG kBatchBytes = 64 * 1024;

class FindObject : public KernelObject {
 public:
  explicit FindObject(nt::Handle directory) : directory_(directory), batch_(kBatchBytes) {}

  DWORD OnClose() override {
    const NTSTATUS status = nt::Close(directory_);
    return NT_SUCCESS(status) ? ERROR_SUCCESS : Win32ErrorFromStatus(status);
  }

  // The next entry; the first call names the pattern. STATUS_NO_MORE_FILES (or, at first, STATUS_NO_SUCH_FILE)
  // at the end.
  NTSTATUS Next(const std::u16string* pattern, WIN32_FIND_DATAA* data) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (next_ == kNone) {
      ULONG_PTR returned = 0;
      const NTSTATUS status = nt::QueryDirectory(directory_, batch_.data(), kBatchBytes, pattern, &returned);
      if (!NT_SUCCESS(status)) return status;
      if (returned == 0) return STATUS_NO_MORE_FILES;
      next_ = 0;
    }
    const auto* entry = reinterpret_cast<const FILE_BOTH_DIR_INFORMATION*>(batch_.data() + next_);
    Fill(*entry, data);
    next_ = entry->NextEntryOffset == 0 ? kNone : next_ + entry->NextEntryOffset;
    return STATUS_SUCCESS;
  }

 private:
  static constexpr size_t kNone = static_cast<size_t>(-1);

  static void CopyName(std::u16string_view name, CHAR* out, size_t capacity) {
    const std::string ansi = Narrow(name);
    const size_t length = std::min(ansi.size(), capacity - 1);
    std::memcpy(out, ansi.data(), length);
    out[length] = '\0';
  }

  static void Fill(const FILE_BOTH_DIR_INFORMATION& entry, WIN32_FIND_DATAA* data) {
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = entry.FileAttributes;
    data->ftCreationTime = ToFileTime(entry.CreationTime);
    data->ftLastAccessTime = ToFileTime(entry.LastAccessTime);
    data->ftLastWriteTime = ToFileTime(entry.LastWriteTime);
    data->nFileSizeHigh = static_cast<DWORD>(static_cast<ULONGLONG>(entry.EndOfFile.QuadPart) >> 32);
    data->nFileSizeLow = static_cast<DWORD>(entry.EndOfFile.QuadPart);
    CopyName(std::u16string_view(entry.FileName, entry.FileNameLength / sizeof(WCHAR)), data->cFileName,
             sizeof data->cFileName);
    CopyName(std::u16string_view(entry.ShortName, static_cast<size_t>(entry.ShortNameLength) / sizeof(WCHAR)),
             data->cAlternateFileName, sizeof data->cAlternateFileName);
  }

  std::mutex mutex_;
  nt::Handle directory_;
  std::vector<std::byte> batch_;
  size_t next_ = kNone;  // offset of the next entry in batch_
};

std::shared_ptr<FindObject> LookupFind(HANDLE handle) {
  std::shared_ptr<FindObject> find = std::dynamic_pointer_cast<FindObject>(LookupHandle(handle));
  if (!find) SetLastError(ERROR_INVALID_HANDLE);
  return find;
}

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

}  // namespace
}  // namespace xp::kernel32

using namespace xp::kernel32;

// Exported by kernel32. The last component is "*", "*.*" (every name, with or without a dot) or a plain name.
extern "C" HANDLE FindFirstFileA(LPCSTR file_name, LPWIN32_FIND_DATAA find_data) {
  const std::optional<WindowsPath> path = ParseWindowsPath(file_name, "FindFirstFileA");
  if (!path) return INVALID_HANDLE_VALUE;
  if (path->components.empty()) return Fail(ERROR_FILE_NOT_FOUND);
  std::string pattern = path->components.back();
  if (pattern == "*.*") pattern = "*";
  if (pattern != "*" && pattern.find_first_of("*?") != std::string::npos) {
    XP_FIXME("FindFirstFileA", "only the patterns * and *.* are implemented: %s", pattern.c_str());
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  }
  if (FaultFails("FindFirstFileA", path->Text())) return INVALID_HANDLE_VALUE;
  nt::ScopedHandle directory;
  NTSTATUS status =
      OpenPath(path->Parent(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
               FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT, &directory);
  if (status == STATUS_OBJECT_NAME_NOT_FOUND) return Fail(ERROR_PATH_NOT_FOUND);
  if (!NT_SUCCESS(status)) return Fail(Win32ErrorFromStatus(status));
  const std::u16string wide_pattern = Widen(pattern);
  auto find = std::make_shared<FindObject>(directory.Detach());
  status = find->Next(&wide_pattern, find_data);
  if (!NT_SUCCESS(status)) {
    find->OnClose();
    if (status == STATUS_NO_SUCH_FILE || status == STATUS_NO_MORE_FILES) return Fail(ERROR_FILE_NOT_FOUND);
    return Fail(Win32ErrorFromStatus(status));
  }
  return xp::InsertHandle(std::move(find));
}

// Exported by kernel32.
extern "C" BOOL FindNextFileA(HANDLE find_handle, LPWIN32_FIND_DATAA find_data) {
  const std::shared_ptr<FindObject> find = LookupFind(find_handle);
  if (!find) return FALSE;
  const NTSTATUS status = find->Next(nullptr, find_data);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  return TRUE;
}

// Exported by kernel32.
extern "C" BOOL FindClose(HANDLE find_handle) {
  if (!LookupFind(find_handle)) return FALSE;
  return CloseHandle(find_handle);
}
