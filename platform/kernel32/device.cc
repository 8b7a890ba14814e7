// The emulated token's device opens (its interface path "\\?\usb#...") and DeviceIoControl on any device or file.
#include <strings.h>

#include <memory>
#include <string>

#include "kernel32_private.h"
#include "xp/debug.h"
#include "xp/usbtoken.h"

XP_DEBUG_CHANNEL(kernel32);

namespace {

constexpr char kUsbDevicePrefix[] = "\\\\?\\usb#";

}  // namespace

namespace xp::kernel32 {

bool IsUsbDevicePath(const char* path) {
  return ::strncasecmp(path, kUsbDevicePrefix, sizeof kUsbDevicePrefix - 1) == 0;
}

HANDLE OpenUsbDevice(LPCSTR file_name, LPSECURITY_ATTRIBUTES attributes, DWORD creation_disposition,
                     DWORD flags_and_attributes, HANDLE template_file) {
  if (attributes != nullptr || creation_disposition != OPEN_EXISTING || flags_and_attributes != 0 ||
      template_file != nullptr) {
    XP_FIXME("CreateFileA", "a device opens only with OPEN_EXISTING, no flags, no security and no template");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
  }
  DWORD error = ERROR_GEN_FAILURE;
  std::shared_ptr<xp::DeviceFile> device = xp::usbtoken::OpenInterface(file_name, &error);
  if (!device) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE handle = xp::InsertHandle(std::move(device));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

}  // namespace xp::kernel32

// Exported by kernel32. Synchronous only: the system never passes an OVERLAPPED.
extern "C" BOOL DeviceIoControl(HANDLE device, DWORD io_control_code, LPVOID in_buffer, DWORD in_size,
                                LPVOID out_buffer, DWORD out_size, LPDWORD bytes_returned, LPOVERLAPPED overlapped) {
  if (overlapped != nullptr) {
    XP_FIXME("DeviceIoControl", "overlapped requests are not implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  const std::shared_ptr<xp::KernelObject> object = xp::LookupHandle(device);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  xp::DeviceFile* const file = object->AsDeviceFile();
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  DWORD returned = 0;
  const DWORD error = file->IoControl(io_control_code, in_buffer, in_size, out_buffer, out_size, &returned);
  if (bytes_returned != nullptr) *bytes_returned = returned;
  if (error != 0) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
