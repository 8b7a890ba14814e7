// A scratch machine for the file-layer tests, with drives of every kind: C: fixed NTFS (the default), D: fixed
// FAT32 with 256 KiB free, E: a CD-ROM, and two unformatted fixed disks as a machine may describe them: F: one no
// file system recognises (its folder is missing), G: one whose file-system name is empty.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <string>

#include "scratch_machine.h"
#include "windows.h"
#include "winioctl.h"

namespace xp::kernel32::testing {

constexpr uint32_t kVolumeSerialD = 0x1234ABCD;
constexpr uint64_t kFreeBytesD = 256 * 1024;

class FilesTest : public ::testing::Test {
 protected:
  FilesTest();

  // The host file behind a Windows path, spelled as given ("C:\a\b" -> DIR/drives/C/a/b).
  std::filesystem::path Host(const std::string& windows_path) const;
  // The host file's bytes once the kernel wrote its cache back: what the disk holds.
  std::string HostText(const std::string& windows_path) const;
  void PutHostFile(const std::string& windows_path, const std::string& content) const;

  // Through the layer: a new file holding `content`; the whole content of a file.
  void MakeFile(const std::string& path, const std::string& content) const;
  std::string ReadAll(const std::string& path) const;

  test::ScratchMachine machine_;
};

// Starts file_writer in the machine: `chunks` chunks of `size` bytes to a new file at `path`. Its pid, -1 when it
// did not start.
pid_t StartWriter(const std::string& path, int chunks, int size);

// The names FindFirstFileA/FindNextFileA give for `pattern`, or the error of FindFirstFileA as "error <n>".
std::vector<std::string> Listing(const std::string& pattern);

}  // namespace xp::kernel32::testing
