// What a file handle tells about its file, and changes to it: the size and the three times (FILETIME, 100 ns
// since 1601-01-01 UTC), kept by the file system.
#include "ddk/ntifs.h"
#include "file_layer.h"

namespace xp::kernel32 {
namespace {

// The size of the file behind `file_handle`; false with the last error set.
bool SizeOf(HANDLE file_handle, LONGLONG* size) {
  const std::shared_ptr<FileObject> file = LookupFile(file_handle);
  if (!file) return false;
  FILE_STANDARD_INFORMATION standard{};
  const NTSTATUS status = nt::QueryInformation(file->handle(), &standard, sizeof standard, FileStandardInformation);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  *size = standard.EndOfFile.QuadPart;
  return true;
}

}  // namespace
}  // namespace xp::kernel32

using namespace xp::kernel32;

// Exported by kernel32. INVALID_FILE_SIZE with the last error set on failure; a size whose low half is
// 0xFFFFFFFF leaves ERROR_SUCCESS.
extern "C" DWORD GetFileSize(HANDLE file_handle, LPDWORD size_high) {
  LONGLONG size = 0;
  if (!SizeOf(file_handle, &size)) return INVALID_FILE_SIZE;
  if (size_high != nullptr) *size_high = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

// Exported by kernel32.
extern "C" BOOL GetFileSizeEx(HANDLE file_handle, PLARGE_INTEGER size) {
  LONGLONG value = 0;
  if (!SizeOf(file_handle, &value)) return FALSE;
  size->QuadPart = value;
  return TRUE;
}

// Exported by kernel32. Any of the three may be NULL.
extern "C" BOOL GetFileTime(HANDLE file_handle, LPFILETIME creation, LPFILETIME last_access, LPFILETIME last_write) {
  const std::shared_ptr<FileObject> file = LookupFile(file_handle);
  if (!file) return FALSE;
  FILE_BASIC_INFORMATION basic{};
  const NTSTATUS status = nt::QueryInformation(file->handle(), &basic, sizeof basic, FileBasicInformation);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  if (creation != nullptr) *creation = ToFileTime(basic.CreationTime);
  if (last_access != nullptr) *last_access = ToFileTime(basic.LastAccessTime);
  if (last_write != nullptr) *last_write = ToFileTime(basic.LastWriteTime);
  return TRUE;
}

// Exported by kernel32. A NULL time is left as it is.
extern "C" BOOL SetFileTime(HANDLE file_handle, const FILETIME* creation, const FILETIME* last_access,
                            const FILETIME* last_write) {
  const std::shared_ptr<FileObject> file = LookupFile(file_handle);
  if (!file) return FALSE;
  if (FaultFails("SetFileTime", file->path())) return FALSE;
  FILE_BASIC_INFORMATION basic{};  // zero: unchanged
  if (creation != nullptr) basic.CreationTime = FromFileTime(*creation);
  if (last_access != nullptr) basic.LastAccessTime = FromFileTime(*last_access);
  if (last_write != nullptr) basic.LastWriteTime = FromFileTime(*last_write);
  const NTSTATUS status = nt::SetInformation(file->handle(), &basic, sizeof basic, FileBasicInformation);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  CrashAfter("SetFileTime", file->path());
  return TRUE;
}
