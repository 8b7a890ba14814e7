// The open file behind a file HANDLE: closing it, and DeviceIoControl on it (file-system controls such as
// FSCTL_SET_COMPRESSION go to the volume's file system, other codes to the device).
#include "ddk/devioctl.h"
#include "file_layer.h"

namespace xp::kernel32 {

DWORD FileObject::OnClose() {
  const NTSTATUS status = nt::Close(handle_);
  return NT_SUCCESS(status) ? ERROR_SUCCESS : Win32ErrorFromStatus(status);
}

DWORD FileObject::IoControl(DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size, DWORD* returned) {
  if (FaultFails("DeviceIoControl", path_)) return GetLastError();
  ULONG_PTR transferred = 0;
  void* input = const_cast<void*>(in);
  const NTSTATUS status = DEVICE_TYPE_FROM_CTL_CODE(code) == FILE_DEVICE_FILE_SYSTEM
                              ? nt::FsControl(handle_, code, input, in_size, out, out_size, &transferred)
                              : nt::DeviceControl(handle_, code, input, in_size, out, out_size, &transferred);
  *returned = static_cast<DWORD>(transferred);
  if (!NT_SUCCESS(status)) return Win32ErrorFromStatus(status);
  CrashAfter("DeviceIoControl", path_);
  return ERROR_SUCCESS;
}

std::shared_ptr<FileObject> LookupFile(HANDLE handle) {
  std::shared_ptr<FileObject> file = std::dynamic_pointer_cast<FileObject>(LookupHandle(handle));
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

}  // namespace xp::kernel32
