// The kernel test fixture: a fresh two-drive machine folder per test and a kernel booted over it.
#include "kernel_fixture.h"

#include <cstdlib>
#include <fstream>

namespace xp::ntos::testing {

void KernelTest::Boot(uint64_t free_bytes) {
  char pattern[] = "/tmp/ntos-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  machine_ = std::filesystem::path(pattern) / "machine";
  machine::MachineOptions options;
  options.drives[0].free_bytes = free_bytes;
  options.drives[0].volume_serial = 0x1234ABCD;
  machine::DriveOptions d;
  d.letter = 'D';
  d.volume_serial = 0x00C0FFEE;
  options.drives.push_back(d);
  machine::Create(machine_, options);
  if (!saved_) {
    saved_ = true;
    if (const char* saved = std::getenv("XPMACHINE")) saved_machine_ = saved;
  }
  setenv("XPMACHINE", machine_.c_str(), 1);
  kernel_ = std::make_unique<Kernel>(KernelOptions{machine_, false});
}

void KernelTest::TearDown() {
  kernel_.reset();
  std::filesystem::remove_all(machine_.parent_path());
  if (saved_machine_.empty()) {
    unsetenv("XPMACHINE");
  } else {
    setenv("XPMACHINE", saved_machine_.c_str(), 1);
  }
}

Opened KernelTest::Open(const std::u16string& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                        ULONG options) {
  std::u16string text = name;
  UNICODE_STRING counted = NtName(text);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  IO_STATUS_BLOCK io_status{};
  Opened opened;
  opened.status = NtCreateFile(&opened.handle, access | SYNCHRONIZE, &attributes, &io_status, nullptr,
                               FILE_ATTRIBUTE_NORMAL, share, disposition, options, nullptr, 0);
  opened.information = io_status.Information;
  return opened;
}

Opened KernelTest::OpenFile(const std::u16string& name, ULONG disposition, ULONG options) {
  return Open(name, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition,
              options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE);
}

NTSTATUS KernelTest::Write(HANDLE handle, const std::vector<uint8_t>& data, LONGLONG offset, ULONG_PTR* written) {
  IO_STATUS_BLOCK io_status{};
  LARGE_INTEGER position;
  position.QuadPart = offset;
  std::vector<uint8_t> copy = data;
  const NTSTATUS status = NtWriteFile(handle, nullptr, nullptr, nullptr, &io_status, copy.data(),
                                      static_cast<ULONG>(copy.size()), &position, nullptr);
  if (written != nullptr) *written = io_status.Information;
  return status;
}

NTSTATUS KernelTest::Read(HANDLE handle, std::vector<uint8_t>* data, ULONG length, LONGLONG offset) {
  IO_STATUS_BLOCK io_status{};
  LARGE_INTEGER position;
  position.QuadPart = offset;
  data->assign(length, 0xEE);
  const NTSTATUS status =
      NtReadFile(handle, nullptr, nullptr, nullptr, &io_status, data->data(), length, &position, nullptr);
  data->resize(NT_SUCCESS(status) ? io_status.Information : 0);
  return status;
}

NTSTATUS KernelTest::SetEndOfFile(HANDLE handle, LONGLONG size) {
  FILE_END_OF_FILE_INFORMATION end{};
  end.EndOfFile.QuadPart = size;
  IO_STATUS_BLOCK io_status{};
  return NtSetInformationFile(handle, &io_status, &end, sizeof end, FileEndOfFileInformation);
}

NTSTATUS KernelTest::Rename(HANDLE handle, const std::u16string& new_name, bool replace) {
  std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFORMATION) + new_name.size() * sizeof(WCHAR));
  auto* rename = reinterpret_cast<PFILE_RENAME_INFORMATION>(buffer.data());
  rename->ReplaceIfExists = replace;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<ULONG>(new_name.size() * sizeof(WCHAR));
  std::memcpy(rename->FileName, new_name.data(), rename->FileNameLength);
  IO_STATUS_BLOCK io_status{};
  return NtSetInformationFile(handle, &io_status, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation);
}

NTSTATUS KernelTest::Delete(HANDLE handle) {
  FILE_DISPOSITION_INFORMATION disposition{TRUE};
  IO_STATUS_BLOCK io_status{};
  return NtSetInformationFile(handle, &io_status, &disposition, sizeof disposition, FileDispositionInformation);
}

std::filesystem::path KernelTest::Host(char drive, const std::string& relative) const {
  return machine_ / "drives" / std::string(1, drive) / relative;
}

std::vector<uint8_t> KernelTest::HostBytes(char drive, const std::string& relative) const {
  std::ifstream file(Host(drive, relative), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

void KernelTest::PutHostFile(char drive, const std::string& relative, const std::vector<uint8_t>& bytes) const {
  std::filesystem::create_directories(Host(drive, relative).parent_path());
  std::ofstream file(Host(drive, relative), std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 16);
  }
  return bytes;
}

}  // namespace xp::ntos::testing
