// The Nt file calls of the kernel-model and driver tests in one line each: an open by NT name, reads and writes at
// an offset, the set-information requests (end of file, allocation, rename, delete) and a flush. They go to the
// kernel booted in this process. Test support only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xp/ntos.h"

namespace xp::test::nt {

struct Opened {
  NTSTATUS status = 0;
  HANDLE handle = nullptr;
  ULONG_PTR information = 0;  // FILE_CREATED, FILE_OPENED, ...
};

// NtCreateFile on an NT name such as u"\\??\\C:\\a.txt" (relative to `root` when given); SYNCHRONIZE is added to
// `access`, `options` are passed as they are.
Opened Open(const std::u16string& name, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options,
            HANDLE root = nullptr, ULONG file_attributes = FILE_ATTRIBUTE_NORMAL);
NTSTATUS Write(HANDLE handle, const std::vector<uint8_t>& data, LONGLONG offset, ULONG_PTR* written = nullptr);
// `data` holds what was read (nothing when the read failed).
NTSTATUS Read(HANDLE handle, std::vector<uint8_t>* data, ULONG length, LONGLONG offset);
NTSTATUS SetEndOfFile(HANDLE handle, LONGLONG size);
NTSTATUS SetAllocation(HANDLE handle, LONGLONG size);
NTSTATUS Rename(HANDLE handle, const std::u16string& new_name, bool replace);
// Marks the file for deletion when its last handle closes.
NTSTATUS Delete(HANDLE handle);
NTSTATUS Flush(HANDLE handle);

}  // namespace xp::test::nt
