// The kernel test fixture: a fresh two-drive machine folder per test and a kernel booted over it.
#include "kernel_fixture.h"

#include "drive_files.h"

namespace xp::ntos::testing {

void KernelTest::Boot(uint64_t free_bytes) {
  kernel_.reset();
  scratch_.reset();
  xp::test::ScratchOptions options{.token_seed = std::nullopt, .fresh_registry = false, .virtual_clock = false};
  options.machine.drives[0].free_bytes = free_bytes;
  options.machine.drives[0].volume_serial = 0x1234ABCD;
  machine::DriveOptions d;
  d.letter = 'D';
  d.volume_serial = 0x00C0FFEE;
  options.machine.drives.push_back(d);
  scratch_.emplace(options);
  machine_ = scratch_->root();
  kernel_ = std::make_unique<Kernel>(KernelOptions{machine_, false});
}

void KernelTest::TearDown() {
  kernel_.reset();
  scratch_.reset();
}

Opened KernelTest::Open(const std::u16string& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                        ULONG options) {
  return xp::test::nt::Open(name, access, share, disposition, options);
}

Opened KernelTest::OpenFile(const std::u16string& name, ULONG disposition, ULONG options) {
  return Open(name, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition,
              options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE);
}

NTSTATUS KernelTest::Write(HANDLE handle, const std::vector<uint8_t>& data, LONGLONG offset, ULONG_PTR* written) {
  return xp::test::nt::Write(handle, data, offset, written);
}

NTSTATUS KernelTest::Read(HANDLE handle, std::vector<uint8_t>* data, ULONG length, LONGLONG offset) {
  return xp::test::nt::Read(handle, data, length, offset);
}

NTSTATUS KernelTest::SetEndOfFile(HANDLE handle, LONGLONG size) { return xp::test::nt::SetEndOfFile(handle, size); }

NTSTATUS KernelTest::Rename(HANDLE handle, const std::u16string& new_name, bool replace) {
  return xp::test::nt::Rename(handle, new_name, replace);
}

NTSTATUS KernelTest::Delete(HANDLE handle) { return xp::test::nt::Delete(handle); }

std::filesystem::path KernelTest::Host(char drive, const std::string& relative) const {
  return xp::test::DriveFile(machine_, drive, relative);
}

std::vector<uint8_t> KernelTest::HostBytes(char drive, const std::string& relative) const {
  return xp::test::DriveBytes(machine_, drive, relative);
}

void KernelTest::PutHostFile(char drive, const std::string& relative, const std::vector<uint8_t>& bytes) const {
  xp::test::PutDriveFile(machine_, drive, relative, bytes);
}

}  // namespace xp::ntos::testing
