// The process's handle table, shared by every stand-in that hands out HANDLEs (files, devices, mutexes, threads).
// Never included by system code.
#pragma once

#include <memory>

#include "windef.h"

namespace xp {

// What a HANDLE refers to. Stand-ins derive from it; kernel32's CloseHandle drops the table's reference.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // A device or file that answers DeviceIoControl; nullptr for every other kind of object.
  virtual class DeviceFile* AsDeviceFile() { return nullptr; }
  // Called once when the last handle to the object is closed; a nonzero Win32 error fails CloseHandle with it.
  virtual DWORD OnClose() { return 0; }
};

// An open device: what CreateFileA returns for a device path. Returns 0 or the Win32 error that
// DeviceIoControl reports through GetLastError, so device models need not link kernel32.
class DeviceFile : public KernelObject {
 public:
  DeviceFile* AsDeviceFile() override { return this; }
  virtual DWORD IoControl(DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
                          DWORD* returned) = 0;
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
// Removes the handle; false (ERROR_INVALID_HANDLE) when it was not open.
bool RemoveHandle(HANDLE handle, std::shared_ptr<KernelObject>* removed = nullptr);

}  // namespace xp
