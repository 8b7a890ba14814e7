// The file requests behind the Nt and Zw calls, run in the current previous mode (Nt: UserMode, Zw: KernelMode).
#pragma once

#include <cstring>

#include "ddk/ntifs.h"
#include "include/internal/rtl.h"
#include "include/internal/tag.h"

namespace xp::ntos::io {

NTSTATUS ReadFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                  PULONG key);
NTSTATUS WriteFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                   PULONG key);
NTSTATUS QueryInformation(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                          FILE_INFORMATION_CLASS information_class);
NTSTATUS SetInformation(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                        FILE_INFORMATION_CLASS information_class);
NTSTATUS QueryVolumeInformation(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                                FS_INFORMATION_CLASS information_class);
NTSTATUS QueryDirectory(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                        FILE_INFORMATION_CLASS information_class, BOOLEAN return_single_entry,
                        PUNICODE_STRING file_name, BOOLEAN restart_scan);
NTSTATUS FlushBuffers(HANDLE handle, PIO_STATUS_BLOCK io_status);
NTSTATUS DeviceIoControl(HANDLE handle, PIO_STATUS_BLOCK io_status, ULONG control_code, PVOID input,
                         ULONG input_length, PVOID output, ULONG output_length);
NTSTATUS FsControl(HANDLE handle, PIO_STATUS_BLOCK io_status, ULONG control_code, PVOID input, ULONG input_length,
                   PVOID output, ULONG output_length);

}  // namespace xp::ntos::io
