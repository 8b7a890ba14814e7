// CreateFileA: files on the machine's drives and kernel devices ("\\.\Morvel") open through the kernel, as
// NtCreateFile with the dispositions, options and attributes Windows maps them to; the emulated token's interface
// paths open its device model.
#include <cstring>

#include "ddk/ntifs.h"
#include "file_layer.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";
constexpr DWORD kImplementedFlags = FILE_FLAG_WRITE_THROUGH | FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN |
                                    FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_BACKUP_SEMANTICS;

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

bool Disposition(DWORD creation, ULONG* disposition) {
  switch (creation) {
    case CREATE_NEW: *disposition = FILE_CREATE; return true;
    case CREATE_ALWAYS: *disposition = FILE_OVERWRITE_IF; return true;
    case OPEN_EXISTING: *disposition = FILE_OPEN; return true;
    case OPEN_ALWAYS: *disposition = FILE_OPEN_IF; return true;
    case TRUNCATE_EXISTING: *disposition = FILE_OVERWRITE; return true;
    default: return false;
  }
}

ULONG OptionsFor(DWORD flags) {
  ULONG options = FILE_SYNCHRONOUS_IO_NONALERT;
  // Without backup semantics a folder cannot be opened as a file.
  options |= (flags & FILE_FLAG_BACKUP_SEMANTICS) ? FILE_OPEN_FOR_BACKUP_INTENT : FILE_NON_DIRECTORY_FILE;
  if (flags & FILE_FLAG_WRITE_THROUGH) options |= FILE_WRITE_THROUGH;
  if (flags & FILE_FLAG_NO_BUFFERING) options |= FILE_NO_INTERMEDIATE_BUFFERING;
  if (flags & FILE_FLAG_SEQUENTIAL_SCAN) options |= FILE_SEQUENTIAL_ONLY;
  if (flags & FILE_FLAG_DELETE_ON_CLOSE) options |= FILE_DELETE_ON_CLOSE;
  return options;
}

// The kernel name and the text faults match for a drive path or a "\\.\NAME" device; false with the last error set.
bool NameOf(const char* file_name, std::u16string* nt_name, std::string* path) {
  if (std::strncmp(file_name, kDevicePrefix, sizeof kDevicePrefix - 1) == 0) {
    if (std::strlen(file_name) >= MAX_PATH) return FailWithError(ERROR_FILENAME_EXCED_RANGE);
    *nt_name = u"\\??\\" + Widen(file_name + sizeof kDevicePrefix - 1);
    *path = file_name;
    return true;
  }
  const std::optional<WindowsPath> parsed = ParseWindowsPath(file_name, "CreateFileA");
  if (!parsed) return false;
  *nt_name = parsed->Nt();
  *path = parsed->Text();
  return true;
}

}  // namespace
}  // namespace xp::kernel32

using namespace xp::kernel32;

// Exported by kernel32. Synchronous handles only; no security descriptor or template file.
extern "C" HANDLE CreateFileA(LPCSTR file_name, DWORD desired_access, DWORD share_mode,
                              LPSECURITY_ATTRIBUTES attributes, DWORD creation_disposition, DWORD flags_and_attributes,
                              HANDLE template_file) {
  if (file_name == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (IsUsbDevicePath(file_name)) {
    return OpenUsbDevice(file_name, attributes, creation_disposition, flags_and_attributes, template_file);
  }
  const DWORD flags = flags_and_attributes & ~FILE_ATTRIBUTE_VALID_FLAGS;
  if (attributes != nullptr || template_file != nullptr || (flags & ~kImplementedFlags) != 0) {
    XP_FIXME("CreateFileA", "security attributes, template files and these flags are not implemented: %lu",
             static_cast<unsigned long>(flags & ~kImplementedFlags));
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  }
  nt::OpenRequest request;
  if (!Disposition(creation_disposition, &request.disposition)) return Fail(ERROR_INVALID_PARAMETER);
  std::string path;
  if (!NameOf(file_name, &request.name, &path)) return INVALID_HANDLE_VALUE;
  request.access =
      desired_access | SYNCHRONIZE | FILE_READ_ATTRIBUTES | ((flags & FILE_FLAG_DELETE_ON_CLOSE) ? DELETE : 0);
  request.attributes = flags_and_attributes & FILE_ATTRIBUTE_VALID_FLAGS & ~FILE_ATTRIBUTE_DIRECTORY;
  request.share = share_mode;
  request.options = OptionsFor(flags);
  if (FaultFails("CreateFileA", path)) return INVALID_HANDLE_VALUE;

  nt::Handle handle;
  ULONG_PTR information = 0;
  const NTSTATUS status = nt::Open(request, &handle, &information);
  if (status == STATUS_OBJECT_NAME_COLLISION) return Fail(ERROR_FILE_EXISTS);
  if (!NT_SUCCESS(status)) return Fail(Win32ErrorFromStatus(status));
  const HANDLE result = xp::InsertHandle(std::make_shared<FileObject>(handle, path));
  const bool existed =
      (creation_disposition == CREATE_ALWAYS || creation_disposition == OPEN_ALWAYS) && information != FILE_CREATED;
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  CrashAfter("CreateFileA", path);
  return result;
}
