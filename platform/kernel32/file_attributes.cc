// File attributes by name. GetFileAttributesA reports folders too; SetFileAttributesA changes only the bits a
// program may set (read-only, hidden, system, archive, temporary, ...; FILE_ATTRIBUTE_NORMAL alone clears them):
// compression, sparseness and encryption stay as the file system keeps them.
#include "ddk/ntifs.h"
#include "file_layer.h"

namespace xp::kernel32 {
namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ULONG kAnyKind = FILE_OPEN_FOR_BACKUP_INTENT | FILE_OPEN_REPARSE_POINT;

}  // namespace

NTSTATUS QueryBasic(const WindowsPath& path, FILE_BASIC_INFORMATION* basic) {
  nt::ScopedHandle handle;
  const NTSTATUS status = OpenPath(path, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, kAnyKind, &handle);
  if (!NT_SUCCESS(status)) return status;
  return nt::QueryInformation(handle.get(), basic, sizeof *basic, FileBasicInformation);
}

}  // namespace xp::kernel32

using namespace xp::kernel32;

// Exported by kernel32. INVALID_FILE_ATTRIBUTES with the last error set when the path is missing.
extern "C" DWORD GetFileAttributesA(LPCSTR file_name) {
  const std::optional<WindowsPath> path = ParseWindowsPath(file_name, "GetFileAttributesA");
  if (!path) return INVALID_FILE_ATTRIBUTES;
  if (FaultFails("GetFileAttributesA", path->Text())) return INVALID_FILE_ATTRIBUTES;
  FILE_BASIC_INFORMATION basic{};
  const NTSTATUS status = QueryBasic(*path, &basic);
  if (!NT_SUCCESS(status)) {
    FailWithStatus(status);
    return INVALID_FILE_ATTRIBUTES;
  }
  return basic.FileAttributes;
}

// Exported by kernel32.
extern "C" BOOL SetFileAttributesA(LPCSTR file_name, DWORD attributes) {
  const std::optional<WindowsPath> path = ParseWindowsPath(file_name, "SetFileAttributesA");
  if (!path) return FALSE;
  if (FaultFails("SetFileAttributesA", path->Text())) return FALSE;
  nt::ScopedHandle handle;
  NTSTATUS status = OpenPath(*path, FILE_WRITE_ATTRIBUTES, kShareAll, FILE_OPEN, kAnyKind, &handle);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  FILE_BASIC_INFORMATION basic{};  // zero times: unchanged
  basic.FileAttributes = attributes & FILE_ATTRIBUTE_VALID_SET_FLAGS;
  // Zero would mean "leave the attributes": clearing them all is spelled NORMAL.
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  status = nt::SetInformation(handle.get(), &basic, sizeof basic, FileBasicInformation);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  CrashAfter("SetFileAttributesA", path->Text());
  return TRUE;
}
