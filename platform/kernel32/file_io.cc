// Reading and writing through a file handle at its file pointer, moving the pointer, and flushing. Besides the
// fault points named after each call, "ReadFile:short" and "WriteFile:short" make a call move only half the
// bytes asked for (and succeed), as a short transfer would.
#include "ddk/ntifs.h"
#include "file_layer.h"
#include "xp/debug.h"
#include "xp/faults.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

DWORD LengthAfterShortFault(const char* operation, const std::string& path, DWORD length) {
  return machine::FailPoint(operation, path) ? length / 2 : length;
}

// Where a move of the file pointer lands; false with the last error set.
bool Destination(FileObject& file, LONGLONG distance, DWORD method, LONGLONG* destination) {
  LONGLONG base = 0;
  if (method == FILE_CURRENT) {
    base = file.position();
  } else if (method == FILE_END) {
    FILE_STANDARD_INFORMATION standard{};
    const NTSTATUS status = nt::QueryInformation(file.handle(), &standard, sizeof standard, FileStandardInformation);
    if (!NT_SUCCESS(status)) return FailWithStatus(status);
    base = standard.EndOfFile.QuadPart;
  } else if (method != FILE_BEGIN) {
    return FailWithError(ERROR_INVALID_PARAMETER);
  }
  if (base + distance < 0) return FailWithError(ERROR_NEGATIVE_SEEK);
  *destination = base + distance;
  return true;
}

}  // namespace
}  // namespace xp::kernel32

using namespace xp::kernel32;

// Exported by kernel32. Synchronous only; TRUE with 0 bytes read at the end of the file.
extern "C" BOOL ReadFile(HANDLE file_handle, LPVOID buffer, DWORD bytes_to_read, LPDWORD bytes_read,
                         LPOVERLAPPED overlapped) {
  if (bytes_read != nullptr) *bytes_read = 0;
  if (overlapped != nullptr) {
    XP_FIXME("ReadFile", "overlapped reads are not implemented");
    return FailWithError(ERROR_CALL_NOT_IMPLEMENTED);
  }
  const std::shared_ptr<FileObject> file = LookupFile(file_handle);
  if (!file) return FALSE;
  if (FaultFails("ReadFile", file->path())) return FALSE;
  const DWORD length = LengthAfterShortFault("ReadFile:short", file->path(), bytes_to_read);
  const std::lock_guard<std::mutex> lock(file->position_lock());
  ULONG transferred = 0;
  const NTSTATUS status = nt::Read(file->handle(), buffer, length, file->position(), &transferred);
  if (status == STATUS_END_OF_FILE) return TRUE;
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  file->position() += transferred;
  if (bytes_read != nullptr) *bytes_read = transferred;
  return TRUE;
}

// Exported by kernel32. Synchronous only.
extern "C" BOOL WriteFile(HANDLE file_handle, LPCVOID buffer, DWORD bytes_to_write, LPDWORD bytes_written,
                          LPOVERLAPPED overlapped) {
  if (bytes_written != nullptr) *bytes_written = 0;
  if (overlapped != nullptr) {
    XP_FIXME("WriteFile", "overlapped writes are not implemented");
    return FailWithError(ERROR_CALL_NOT_IMPLEMENTED);
  }
  const std::shared_ptr<FileObject> file = LookupFile(file_handle);
  if (!file) return FALSE;
  if (FaultFails("WriteFile", file->path())) return FALSE;
  const DWORD length = LengthAfterShortFault("WriteFile:short", file->path(), bytes_to_write);
  {
    const std::lock_guard<std::mutex> lock(file->position_lock());
    ULONG transferred = 0;
    const NTSTATUS status = nt::Write(file->handle(), buffer, length, file->position(), &transferred);
    if (!NT_SUCCESS(status)) return FailWithStatus(status);
    file->position() += transferred;
    if (bytes_written != nullptr) *bytes_written = transferred;
  }
  CrashAfter("WriteFile", file->path());
  return TRUE;
}

// Exported by kernel32. Without distance_high the distance is a signed 32-bit value and the result must fit in
// 31 bits.
extern "C" DWORD SetFilePointer(HANDLE file_handle, LONG distance, PLONG distance_high, DWORD move_method) {
  const std::shared_ptr<FileObject> file = LookupFile(file_handle);
  if (!file) return INVALID_SET_FILE_POINTER;
  const LONGLONG wide = distance_high != nullptr
                            ? static_cast<LONGLONG>((ULONGLONG(ULONG(*distance_high)) << 32) | ULONG(distance))
                            : distance;
  const std::lock_guard<std::mutex> lock(file->position_lock());
  LONGLONG destination = 0;
  if (!Destination(*file, wide, move_method, &destination)) return INVALID_SET_FILE_POINTER;
  if (distance_high == nullptr && destination > 0x7FFFFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  file->position() = destination;
  if (distance_high != nullptr) *distance_high = static_cast<LONG>(destination >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(destination);
}

// Exported by kernel32.
extern "C" BOOL SetFilePointerEx(HANDLE file_handle, LARGE_INTEGER distance, PLARGE_INTEGER new_position,
                                 DWORD move_method) {
  const std::shared_ptr<FileObject> file = LookupFile(file_handle);
  if (!file) return FALSE;
  const std::lock_guard<std::mutex> lock(file->position_lock());
  LONGLONG destination = 0;
  if (!Destination(*file, distance.QuadPart, move_method, &destination)) return FALSE;
  file->position() = destination;
  if (new_position != nullptr) new_position->QuadPart = destination;
  return TRUE;
}

// Exported by kernel32. Writes the cached data of the file to the disk.
extern "C" BOOL FlushFileBuffers(HANDLE file_handle) {
  const std::shared_ptr<FileObject> file = LookupFile(file_handle);
  if (!file) return FALSE;
  if (FaultFails("FlushFileBuffers", file->path())) return FALSE;
  const NTSTATUS status = nt::Flush(file->handle());
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  CrashAfter("FlushFileBuffers", file->path());
  return TRUE;
}

// Exported by kernel32. The file ends at the file pointer.
extern "C" BOOL SetEndOfFile(HANDLE file_handle) {
  const std::shared_ptr<FileObject> file = LookupFile(file_handle);
  if (!file) return FALSE;
  if (FaultFails("SetEndOfFile", file->path())) return FALSE;
  FILE_END_OF_FILE_INFORMATION end{};
  {
    const std::lock_guard<std::mutex> lock(file->position_lock());
    end.EndOfFile.QuadPart = file->position();
  }
  const NTSTATUS status = nt::SetInformation(file->handle(), &end, sizeof end, FileEndOfFileInformation);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  CrashAfter("SetEndOfFile", file->path());
  return TRUE;
}
