// The Nt and Zw file calls: the same requests, run with UserMode (Nt, programs' file layer) or KernelMode (Zw,
// drivers) as the previous mode, which decides whether buffers and handle access are checked.
#include "include/internal/io.h"
#include "include/internal/io_calls.h"
#include "include/internal/ke.h"

using namespace xp::ntos;

namespace {

NTSTATUS Create(KPROCESSOR_MODE mode, PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                PIO_STATUS_BLOCK io_status, PLARGE_INTEGER allocation_size, ULONG file_attributes,
                ULONG share_access, ULONG disposition, ULONG options) {
  ke::PreviousModeScope scope(mode);
  return io::CreateFile(handle, access, attributes, io_status, allocation_size, file_attributes, share_access,
                        disposition, options, 0, nullptr);
}

}  // namespace

extern "C" {

// Exported by the kernel model.
NTSTATUS NtCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io_status,
                      PLARGE_INTEGER allocation_size, ULONG file_attributes, ULONG share_access, ULONG disposition,
                      ULONG options, PVOID, ULONG) {
  return Create(UserMode, handle, access, attributes, io_status, allocation_size, file_attributes, share_access,
                disposition, options);
}

NTSTATUS ZwCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io_status,
                      PLARGE_INTEGER allocation_size, ULONG file_attributes, ULONG share_access, ULONG disposition,
                      ULONG options, PVOID, ULONG) {
  return Create(KernelMode, handle, access, attributes, io_status, allocation_size, file_attributes, share_access,
                disposition, options);
}

NTSTATUS NtReadFile(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK io_status, PVOID buffer,
                    ULONG length, PLARGE_INTEGER byte_offset, PULONG key) {
  ke::PreviousModeScope scope(UserMode);
  return io::ReadFile(handle, io_status, buffer, length, byte_offset, key);
}

NTSTATUS ZwReadFile(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK io_status, PVOID buffer,
                    ULONG length, PLARGE_INTEGER byte_offset, PULONG key) {
  ke::PreviousModeScope scope(KernelMode);
  return io::ReadFile(handle, io_status, buffer, length, byte_offset, key);
}

NTSTATUS NtWriteFile(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK io_status, PVOID buffer,
                     ULONG length, PLARGE_INTEGER byte_offset, PULONG key) {
  ke::PreviousModeScope scope(UserMode);
  return io::WriteFile(handle, io_status, buffer, length, byte_offset, key);
}

NTSTATUS ZwWriteFile(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK io_status, PVOID buffer,
                     ULONG length, PLARGE_INTEGER byte_offset, PULONG key) {
  ke::PreviousModeScope scope(KernelMode);
  return io::WriteFile(handle, io_status, buffer, length, byte_offset, key);
}

NTSTATUS NtQueryInformationFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                                FILE_INFORMATION_CLASS information_class) {
  ke::PreviousModeScope scope(UserMode);
  return io::QueryInformation(handle, io_status, information, length, information_class);
}

NTSTATUS ZwQueryInformationFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                                FILE_INFORMATION_CLASS information_class) {
  ke::PreviousModeScope scope(KernelMode);
  return io::QueryInformation(handle, io_status, information, length, information_class);
}

NTSTATUS NtSetInformationFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS information_class) {
  ke::PreviousModeScope scope(UserMode);
  return io::SetInformation(handle, io_status, information, length, information_class);
}

NTSTATUS ZwSetInformationFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS information_class) {
  ke::PreviousModeScope scope(KernelMode);
  return io::SetInformation(handle, io_status, information, length, information_class);
}

NTSTATUS NtQueryVolumeInformationFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                                      FS_INFORMATION_CLASS information_class) {
  ke::PreviousModeScope scope(UserMode);
  return io::QueryVolumeInformation(handle, io_status, information, length, information_class);
}

NTSTATUS ZwQueryVolumeInformationFile(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                                      FS_INFORMATION_CLASS information_class) {
  ke::PreviousModeScope scope(KernelMode);
  return io::QueryVolumeInformation(handle, io_status, information, length, information_class);
}

NTSTATUS NtQueryDirectoryFile(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK io_status,
                              PVOID information, ULONG length, FILE_INFORMATION_CLASS information_class,
                              BOOLEAN return_single_entry, PUNICODE_STRING file_name, BOOLEAN restart_scan) {
  ke::PreviousModeScope scope(UserMode);
  return io::QueryDirectory(handle, io_status, information, length, information_class, return_single_entry,
                            file_name, restart_scan);
}

NTSTATUS ZwQueryDirectoryFile(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK io_status,
                              PVOID information, ULONG length, FILE_INFORMATION_CLASS information_class,
                              BOOLEAN return_single_entry, PUNICODE_STRING file_name, BOOLEAN restart_scan) {
  ke::PreviousModeScope scope(KernelMode);
  return io::QueryDirectory(handle, io_status, information, length, information_class, return_single_entry,
                            file_name, restart_scan);
}

NTSTATUS NtFlushBuffersFile(HANDLE handle, PIO_STATUS_BLOCK io_status) {
  ke::PreviousModeScope scope(UserMode);
  return io::FlushBuffers(handle, io_status);
}

NTSTATUS ZwFlushBuffersFile(HANDLE handle, PIO_STATUS_BLOCK io_status) {
  ke::PreviousModeScope scope(KernelMode);
  return io::FlushBuffers(handle, io_status);
}

NTSTATUS NtDeviceIoControlFile(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK io_status,
                               ULONG control_code, PVOID input, ULONG input_length, PVOID output,
                               ULONG output_length) {
  ke::PreviousModeScope scope(UserMode);
  return io::DeviceIoControl(handle, io_status, control_code, input, input_length, output, output_length);
}

NTSTATUS ZwDeviceIoControlFile(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK io_status,
                               ULONG control_code, PVOID input, ULONG input_length, PVOID output,
                               ULONG output_length) {
  ke::PreviousModeScope scope(KernelMode);
  return io::DeviceIoControl(handle, io_status, control_code, input, input_length, output, output_length);
}

NTSTATUS NtFsControlFile(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK io_status,
                         ULONG control_code, PVOID input, ULONG input_length, PVOID output, ULONG output_length) {
  ke::PreviousModeScope scope(UserMode);
  return io::FsControl(handle, io_status, control_code, input, input_length, output, output_length);
}

NTSTATUS ZwFsControlFile(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK io_status,
                         ULONG control_code, PVOID input, ULONG input_length, PVOID output, ULONG output_length) {
  ke::PreviousModeScope scope(KernelMode);
  return io::FsControl(handle, io_status, control_code, input, input_length, output, output_length);
}

NTSTATUS NtClose(HANDLE handle) { return io::Close(handle); }

NTSTATUS ZwClose(HANDLE handle) { return io::Close(handle); }

}  // extern "C"
