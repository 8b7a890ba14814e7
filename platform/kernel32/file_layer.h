// The pieces the file calls share: Windows paths made into kernel names, NTSTATUS made into Win32 errors, the open
// file behind a file HANDLE, and the fault points every file call offers.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kernel32_private.h"
#include "kernel/kernel_access.h"

namespace xp::kernel32 {

// paths.cc: an absolute path on a drive, "C:\dir\file", with repeated separators collapsed and "." and ".."
// resolved ('/' separates too, as on Windows). No components: the drive's root.
struct WindowsPath {
  char drive = 'C';
  std::vector<std::string> components;

  std::string Text() const;    // "C:\dir\file"; the root is "C:\"
  std::u16string Nt() const;   // "\??\C:\dir\file"
  WindowsPath Parent() const;  // the root's parent is the root
};

// nullopt with the last error set: ERROR_FILENAME_EXCED_RANGE from MAX_PATH characters on (counted as given),
// ERROR_PATH_NOT_FOUND for an empty path; forms the system never uses (relative, UNC, "\\?\") fail loudly with
// ERROR_CALL_NOT_IMPLEMENTED.
std::optional<WindowsPath> ParseWindowsPath(const char* path, const char* caller);
// Opens a path through the kernel (synchronous handle, case-insensitive name).
NTSTATUS OpenPath(const WindowsPath& path, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options,
                  nt::ScopedHandle* handle, ULONG attributes = 0);
// ANSI text of the machine's code page to and from the kernel's UTF-16.
std::u16string Widen(std::string_view ansi);
std::string Narrow(std::u16string_view text);

// status_to_error.cc: the Win32 error Windows reports for a failed kernel call.
DWORD Win32ErrorFromStatus(NTSTATUS status);
// Set the last error and return FALSE, for the BOOL calls.
BOOL FailWithStatus(NTSTATUS status);
BOOL FailWithError(DWORD error);

// file_object.cc: what CreateFileA returns for a file or a kernel device: the kernel's handle, the file pointer
// (kept here and passed as the offset of every read and write), and the path faults are matched against.
class FileObject : public DeviceFile {
 public:
  FileObject(nt::Handle handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  DWORD OnClose() override;
  // File-system controls go to the file system, others to the device, as DeviceIoControl sends them.
  DWORD IoControl(DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size, DWORD* returned) override;

  const nt::Handle& handle() const { return handle_; }
  const std::string& path() const { return path_; }
  // The file pointer, under position_lock().
  LONGLONG& position() { return position_; }
  std::mutex& position_lock() { return position_lock_; }

 private:
  nt::Handle handle_;
  std::string path_;
  std::mutex position_lock_;
  LONGLONG position_ = 0;
};

// The open file behind a handle; nullptr with ERROR_INVALID_HANDLE set for anything else.
std::shared_ptr<FileObject> LookupFile(HANDLE handle);

// Fault points: true (last error set) when an armed fault fails `operation` on `path`.
bool FaultFails(std::string_view operation, std::string_view path);
// After a completed operation: ends the process when an armed crash fault says so.
void CrashAfter(std::string_view operation, std::string_view path);

// file_ops.cc: deletes a file (kind FILE_NON_DIRECTORY_FILE) or an empty folder (FILE_DIRECTORY_FILE) by name.
NTSTATUS DeleteByName(const WindowsPath& path, ULONG kind);

// image_write_back.cc: before a program or DLL file of the drives is started or loaded from the disk, what the
// cache holds of it is written back (a file that cannot be opened for it is left as it is).
void WriteImageBack(const std::string& windows_path);

// file_attributes.cc: the attributes and times of a file or folder by name.
NTSTATUS QueryBasic(const WindowsPath& path, FILE_BASIC_INFORMATION* basic);

// FILETIME and the kernel's 100 ns counts.
inline FILETIME ToFileTime(LARGE_INTEGER time) {
  return {static_cast<DWORD>(time.QuadPart), static_cast<DWORD>(static_cast<ULONGLONG>(time.QuadPart) >> 32)};
}
inline LARGE_INTEGER FromFileTime(const FILETIME& time) {
  LARGE_INTEGER value;
  value.QuadPart = static_cast<LONGLONG>((ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime);
  return value;
}

}  // namespace xp::kernel32
