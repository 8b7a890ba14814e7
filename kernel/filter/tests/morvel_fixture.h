// The filter driver's test bench: a scratch machine (drive C:, more drives on request) with the registry values
// the driver reads, a booted kernel model, the driver loaded through the service loader, its control device, the
// test key material, and short helpers for the Nt file calls and the host bytes under each drive.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "nt_calls.h"
#include "pattern.h"
#include "scratch_machine.h"
#include "xp/ntos.h"

namespace tavik::morvel::testing {

using Bytes = std::vector<uint8_t>;

// The file key every test installs: CFK, its XCFK (with the marker) and a KN/EFKN pair that opens it.
struct TestKey {
  std::array<uint8_t, 16> cfk;
  std::array<uint8_t, 32> xcfk;
  std::array<uint8_t, 16> kn;
  std::array<uint8_t, 32> efkn;
};
const TestKey& Key();

// The encrypted file format of `plain`, as setupcore's _enc makes it under the test key.
Bytes Encrypted(const Bytes& plain);
Bytes Decrypted(const Bytes& cipher);
inline Bytes Pattern(size_t size, uint8_t seed = 7) { return xp::test::Pattern(size, seed); }
// Bytes written as hex digits, spaces allowed between them ("00 11 22").
Bytes FromHex(std::string_view hex);

using Opened = xp::test::nt::Opened;

struct Reply {
  NTSTATUS status = 0;
  ULONG_PTR information = 0;
  Bytes output;
};

class MorvelTest : public ::testing::Test {
 public:
  static constexpr uint32_t kSerialC = 0x5A3C71E4;  // the scratch machine's drive C:

  MorvelTest();
  ~MorvelTest() override;

  // Before Boot: another drive (its folder and machine.ini lines).
  void AddDrive(char letter, uint32_t serial, const std::string& type = "fixed");
  // Registry values under HKLM\Software\Quillmarsh\Tavik\<key>: "1", "2", ... in order.
  void SetRules(const std::u16string& key, const std::vector<std::u16string>& texts);
  void SetVolumes(const std::vector<uint32_t>& serials);
  // The usual set: exclusion \WINDOWS, C: protected.
  void StandardRegistry();

  void Boot();
  // The built driver module, and loading it through the service loader.
  static std::filesystem::path DriverImage();
  NTSTATUS LoadDriver();
  // Boot, load, and install the test key.
  void StartWithKey();
  void StartWithoutKey();
  NTSTATUS UnloadDriver(std::vector<xp::ntos::PoolLeak>* leaks = nullptr);

  // The control device.
  Opened OpenControl();
  Reply Control(HANDLE control, uint32_t code, const Bytes& input, ULONG output_length);
  // One request through a handle opened for it.
  Reply Control(uint32_t code, const Bytes& input, ULONG output_length);
  Reply SetKey(const std::array<uint8_t, 16>& kn, const std::array<uint8_t, 32>& efk, uint8_t flag);
  Reply Stats();

  // Files: NT names such as u"\\??\\C:\\Docs\\a.doc" (the scratch machine has a folder C:\Docs). `access` 0:
  // reading, writing and deleting for files, listing and deleting for folders.
  Opened Open(const std::u16string& name, ULONG disposition = FILE_OPEN_IF, ULONG options = 0,
              ULONG share = FILE_SHARE_READ | FILE_SHARE_WRITE, HANDLE root = nullptr, ACCESS_MASK access = 0);
  NTSTATUS Write(HANDLE handle, const Bytes& data, LONGLONG offset);
  NTSTATUS Read(HANDLE handle, Bytes* data, ULONG length, LONGLONG offset);
  NTSTATUS SetEndOfFile(HANDLE handle, LONGLONG size);
  NTSTATUS SetAllocation(HANDLE handle, LONGLONG size);
  NTSTATUS Rename(HANDLE handle, const std::u16string& new_name);
  NTSTATUS Flush(HANDLE handle);
  void Close(HANDLE handle);
  // Writes a whole file through the cache, flushes and closes it, and lets the lazy writer drop its cache.
  NTSTATUS WriteFile(const std::u16string& name, const Bytes& data);
  Bytes ReadFile(const std::u16string& name, NTSTATUS* status = nullptr);
  // Lets the lazy writer write everything and drop the caches of closed files.
  void Settle();

  std::filesystem::path Host(char drive, const std::string& relative) const;
  Bytes HostBytes(char drive, const std::string& relative) const;
  void PutHostFile(char drive, const std::string& relative, const Bytes& bytes) const;
  void MakeHostFolder(char drive, const std::string& relative) const;

  bool DebugLogHas(const std::string& text) const;

  xp::test::ScratchMachine machine_;
  std::unique_ptr<xp::ntos::Kernel> kernel_;
};

}  // namespace tavik::morvel::testing
