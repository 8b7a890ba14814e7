// A throwaway machine (drives C: and D:, no token, an empty registry; entered through XPMACHINE for the registry)
// with a booted kernel, and short helpers for the Nt file calls the tests make.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "nt_calls.h"
#include "pattern.h"
#include "scratch_machine.h"
#include "xp/ntos.h"

namespace xp::ntos::testing {

using Opened = xp::test::nt::Opened;

class KernelTest : public ::testing::Test {
 protected:
  // A new machine, `free_bytes` drive C:'s budget, and a kernel booted over it.
  void Boot(uint64_t free_bytes = 1ull << 30);
  void SetUp() override { Boot(); }
  void TearDown() override;

  // Opens an NT name such as u"\\??\\C:\\a.txt".
  Opened Open(const std::u16string& name, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options = 0);
  // A synchronous open for reading and writing, shared for reading and writing.
  Opened OpenFile(const std::u16string& name, ULONG disposition = FILE_OPEN_IF, ULONG options = 0);
  NTSTATUS Write(HANDLE handle, const std::vector<uint8_t>& data, LONGLONG offset, ULONG_PTR* written = nullptr);
  NTSTATUS Read(HANDLE handle, std::vector<uint8_t>* data, ULONG length, LONGLONG offset);
  NTSTATUS SetEndOfFile(HANDLE handle, LONGLONG size);
  NTSTATUS Rename(HANDLE handle, const std::u16string& new_name, bool replace = false);
  NTSTATUS Delete(HANDLE handle);

  std::filesystem::path Host(char drive, const std::string& relative) const;
  std::vector<uint8_t> HostBytes(char drive, const std::string& relative) const;
  void PutHostFile(char drive, const std::string& relative, const std::vector<uint8_t>& bytes) const;

  std::filesystem::path machine_;
  std::unique_ptr<Kernel> kernel_;

 private:
  std::optional<xp::test::ScratchMachine> scratch_;
};

inline std::vector<uint8_t> Pattern(size_t size, uint8_t seed = 1) { return xp::test::Pattern(size, seed); }

}  // namespace xp::ntos::testing
