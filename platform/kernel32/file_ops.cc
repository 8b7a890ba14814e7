// Deleting, moving and copying files by name. A delete opens the file for DELETE and marks it (a read-only file
// refuses: ERROR_ACCESS_DENIED); a move renames it to the full target name (an existing target refuses unless
// replacing: ERROR_ALREADY_EXISTS), falling back to copy and delete across volumes when allowed; a copy carries the
// data, the attributes and the last-write time.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "ddk/ntifs.h"
#include "file_layer.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ULONG kCopyChunk = 64 * 1024;
constexpr DWORD kImplementedMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;

NTSTATUS Rename(const WindowsPath& from, const WindowsPath& to, bool replace) {
  nt::ScopedHandle handle;
  NTSTATUS status = OpenPath(from, DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN,
                             FILE_OPEN_FOR_BACKUP_INTENT | FILE_OPEN_REPARSE_POINT, &handle);
  if (!NT_SUCCESS(status)) return status;
  const std::u16string target = to.Nt();
  const size_t header = offsetof(FILE_RENAME_INFORMATION, FileName);
  std::vector<std::byte> buffer(header + target.size() * sizeof(WCHAR));
  auto* rename = reinterpret_cast<PFILE_RENAME_INFORMATION>(buffer.data());
  rename->ReplaceIfExists = replace;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<ULONG>(target.size() * sizeof(WCHAR));
  std::copy(target.begin(), target.end(), rename->FileName);
  return nt::SetInformation(handle.get(), buffer.data(), static_cast<ULONG>(buffer.size()), FileRenameInformation);
}

NTSTATUS CopyData(const nt::Handle& from, const nt::Handle& to) {
  std::vector<std::byte> chunk(kCopyChunk);
  for (LONGLONG offset = 0;;) {
    ULONG got = 0;
    NTSTATUS status = nt::Read(from, chunk.data(), kCopyChunk, offset, &got);
    if (status == STATUS_END_OF_FILE || (NT_SUCCESS(status) && got == 0)) return STATUS_SUCCESS;
    if (!NT_SUCCESS(status)) return status;
    ULONG put = 0;
    status = nt::Write(to, chunk.data(), got, offset, &put);
    if (!NT_SUCCESS(status)) return status;
    offset += got;
  }
}

NTSTATUS Copy(const WindowsPath& from, const WindowsPath& to, bool fail_if_exists) {
  nt::ScopedHandle source;
  NTSTATUS status =
      OpenPath(from, GENERIC_READ, FILE_SHARE_READ, FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, &source);
  if (!NT_SUCCESS(status)) return status;
  FILE_BASIC_INFORMATION basic{};
  status = nt::QueryInformation(source.get(), &basic, sizeof basic, FileBasicInformation);
  if (!NT_SUCCESS(status)) return status;
  nt::ScopedHandle target;
  status = OpenPath(to, GENERIC_WRITE | DELETE, 0, fail_if_exists ? FILE_CREATE : FILE_OVERWRITE_IF,
                    FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, &target,
                    FILE_ATTRIBUTE_NORMAL | (basic.FileAttributes & FILE_ATTRIBUTE_ENCRYPTED));
  if (!NT_SUCCESS(status)) return status;
  status = CopyData(source.get(), target.get());
  if (NT_SUCCESS(status)) {
    // The copy keeps the source's last-write time and attributes (read-only included, set last).
    FILE_BASIC_INFORMATION copied{};
    copied.LastWriteTime = basic.LastWriteTime;
    copied.FileAttributes = basic.FileAttributes & FILE_ATTRIBUTE_VALID_SET_FLAGS;
    if (copied.FileAttributes == 0) copied.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    status = nt::SetInformation(target.get(), &copied, sizeof copied, FileBasicInformation);
  }
  if (!NT_SUCCESS(status)) {
    FILE_DISPOSITION_INFORMATION discard{TRUE};
    nt::SetInformation(target.get(), &discard, sizeof discard, FileDispositionInformation);
  }
  return status;
}

BOOL Move(const char* caller, LPCSTR existing_name, LPCSTR new_name, DWORD flags) {
  if (new_name == nullptr || (flags & ~kImplementedMoveFlags) != 0) {
    XP_FIXME(caller, "deleting by moving, and these flags, are not implemented: %lu",
             static_cast<unsigned long>(flags & ~kImplementedMoveFlags));
    return FailWithError(ERROR_CALL_NOT_IMPLEMENTED);
  }
  const std::optional<WindowsPath> from = ParseWindowsPath(existing_name, caller);
  if (!from) return FALSE;
  const std::optional<WindowsPath> to = ParseWindowsPath(new_name, caller);
  if (!to) return FALSE;
  if (FaultFails(caller, from->Text())) return FALSE;
  const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
  NTSTATUS status = Rename(*from, *to, replace);
  if (status == STATUS_NOT_SAME_DEVICE && (flags & MOVEFILE_COPY_ALLOWED)) {
    status = Copy(*from, *to, !replace);
    if (NT_SUCCESS(status)) {
      status = DeleteByName(*from, FILE_NON_DIRECTORY_FILE);
      if (!NT_SUCCESS(status)) DeleteByName(*to, FILE_NON_DIRECTORY_FILE);
    }
  }
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  CrashAfter(caller, from->Text());
  return TRUE;
}

}  // namespace

NTSTATUS DeleteByName(const WindowsPath& path, ULONG kind) {
  nt::ScopedHandle handle;
  NTSTATUS status = OpenPath(path, DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN,
                             kind | FILE_OPEN_FOR_BACKUP_INTENT | FILE_OPEN_REPARSE_POINT, &handle);
  if (!NT_SUCCESS(status)) return status;
  FILE_DISPOSITION_INFORMATION disposition{TRUE};
  status = nt::SetInformation(handle.get(), &disposition, sizeof disposition, FileDispositionInformation);
  if (!NT_SUCCESS(status)) return status;
  return handle.Release();
}

}  // namespace xp::kernel32

using namespace xp::kernel32;

// Exported by kernel32. Files only: a folder gives ERROR_ACCESS_DENIED, as does a read-only file.
extern "C" BOOL DeleteFileA(LPCSTR file_name) {
  const std::optional<WindowsPath> path = ParseWindowsPath(file_name, "DeleteFileA");
  if (!path) return FALSE;
  if (FaultFails("DeleteFileA", path->Text())) return FALSE;
  const NTSTATUS status = DeleteByName(*path, FILE_NON_DIRECTORY_FILE);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  CrashAfter("DeleteFileA", path->Text());
  return TRUE;
}

// Exported by kernel32. Fails when the new name exists; works on read-only files; copies across volumes.
extern "C" BOOL MoveFileA(LPCSTR existing_name, LPCSTR new_name) {
  return Move("MoveFileA", existing_name, new_name, MOVEFILE_COPY_ALLOWED);
}

// Exported by kernel32. Flags: MOVEFILE_REPLACE_EXISTING, MOVEFILE_COPY_ALLOWED, MOVEFILE_WRITE_THROUGH (every
// rename reaches the disk before the call returns).
extern "C" BOOL MoveFileExA(LPCSTR existing_name, LPCSTR new_name, DWORD flags) {
  return Move("MoveFileExA", existing_name, new_name, flags);
}

// Exported by kernel32.
extern "C" BOOL CopyFileA(LPCSTR existing_name, LPCSTR new_name, BOOL fail_if_exists) {
  const std::optional<WindowsPath> from = ParseWindowsPath(existing_name, "CopyFileA");
  if (!from) return FALSE;
  const std::optional<WindowsPath> to = ParseWindowsPath(new_name, "CopyFileA");
  if (!to) return FALSE;
  if (FaultFails("CopyFileA", from->Text())) return FALSE;
  const NTSTATUS status = Copy(*from, *to, fail_if_exists != FALSE);
  if (status == STATUS_OBJECT_NAME_COLLISION) return FailWithError(ERROR_FILE_EXISTS);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  CrashAfter("CopyFileA", from->Text());
  return TRUE;
}
