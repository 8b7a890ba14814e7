// The Nt file calls of nt_calls.h.
#include "nt_calls.h"

#include <cstring>

namespace xp::test::nt {

Opened Open(const std::u16string& name, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options,
            HANDLE root, ULONG file_attributes) {
  UNICODE_STRING counted = ntos::NtName(name);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK io_status{};
  Opened opened;
  opened.status = NtCreateFile(&opened.handle, access | SYNCHRONIZE, &attributes, &io_status, nullptr, file_attributes,
                               share, disposition, options, nullptr, 0);
  opened.information = io_status.Information;
  return opened;
}

NTSTATUS Write(HANDLE handle, const std::vector<uint8_t>& data, LONGLONG offset, ULONG_PTR* written) {
  IO_STATUS_BLOCK io_status{};
  LARGE_INTEGER position;
  position.QuadPart = offset;
  std::vector<uint8_t> copy = data;
  const NTSTATUS status = NtWriteFile(handle, nullptr, nullptr, nullptr, &io_status,
                                      copy.empty() ? nullptr : copy.data(), static_cast<ULONG>(copy.size()),
                                      &position, nullptr);
  if (written != nullptr) *written = io_status.Information;
  return status;
}

NTSTATUS Read(HANDLE handle, std::vector<uint8_t>* data, ULONG length, LONGLONG offset) {
  IO_STATUS_BLOCK io_status{};
  LARGE_INTEGER position;
  position.QuadPart = offset;
  data->assign(length, 0xEE);
  const NTSTATUS status =
      NtReadFile(handle, nullptr, nullptr, nullptr, &io_status, data->data(), length, &position, nullptr);
  data->resize(NT_SUCCESS(status) ? io_status.Information : 0);
  return status;
}

NTSTATUS SetEndOfFile(HANDLE handle, LONGLONG size) {
  FILE_END_OF_FILE_INFORMATION information{};
  information.EndOfFile.QuadPart = size;
  IO_STATUS_BLOCK io_status{};
  return NtSetInformationFile(handle, &io_status, &information, sizeof information, FileEndOfFileInformation);
}

NTSTATUS SetAllocation(HANDLE handle, LONGLONG size) {
  FILE_ALLOCATION_INFORMATION information{};
  information.AllocationSize.QuadPart = size;
  IO_STATUS_BLOCK io_status{};
  return NtSetInformationFile(handle, &io_status, &information, sizeof information, FileAllocationInformation);
}

NTSTATUS Rename(HANDLE handle, const std::u16string& new_name, bool replace) {
  std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFORMATION) + new_name.size() * sizeof(WCHAR));
  auto* rename = reinterpret_cast<PFILE_RENAME_INFORMATION>(buffer.data());
  rename->ReplaceIfExists = replace ? TRUE : FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<ULONG>(new_name.size() * sizeof(WCHAR));
  std::memcpy(rename->FileName, new_name.data(), rename->FileNameLength);
  IO_STATUS_BLOCK io_status{};
  return NtSetInformationFile(handle, &io_status, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation);
}

NTSTATUS Delete(HANDLE handle) {
  FILE_DISPOSITION_INFORMATION disposition{TRUE};
  IO_STATUS_BLOCK io_status{};
  return NtSetInformationFile(handle, &io_status, &disposition, sizeof disposition, FileDispositionInformation);
}

NTSTATUS Flush(HANDLE handle) {
  IO_STATUS_BLOCK io_status{};
  return NtFlushBuffersFile(handle, &io_status);
}

}  // namespace xp::test::nt
