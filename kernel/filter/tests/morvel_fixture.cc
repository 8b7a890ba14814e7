// The filter driver's test bench of morvel_fixture.h.
#include "morvel_fixture.h"

#include <fstream>

#include "built_programs.h"
#include "cipher_exports.h"
#include "drive_files.h"
#include "hex.h"
#include "key_format.h"
#include "morvel_ioctl.h"
#include "xp/registry.h"

namespace tavik::morvel::testing {
namespace {

TestKey MakeKey() {
  TestKey key{};
  for (int i = 0; i < 16; ++i) {
    key.cfk[i] = static_cast<uint8_t>(0xA0 + 7 * i);
    key.kn[i] = static_cast<uint8_t>(0x31 + 11 * i);
  }
  keys::ExpandCfk(key.cfk.data(), key.xcfk.data());
  keys::WrapXcfk(key.kn.data(), key.xcfk.data(), key.efkn.data());
  return key;
}

// The XCFK as the setup programs hand it to the file cipher: 32 bytes and a NUL, key length 33.
std::array<uint8_t, 33> FileCipherKey() {
  std::array<uint8_t, 33> key{};
  std::copy(Key().xcfk.begin(), Key().xcfk.end(), key.begin());
  return key;
}

std::vector<uint8_t> Utf16Value(const std::u16string& text) {
  std::vector<uint8_t> data;
  for (char16_t c : text) {
    data.push_back(static_cast<uint8_t>(c & 0xFF));
    data.push_back(static_cast<uint8_t>(c >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

xp::registry::KeyId TavikKey(const std::u16string& sub_key) {
  xp::registry::KeyId key = 0;
  EXPECT_EQ(xp::registry::CreateKey(xp::registry::kMachineKey, u"Software\\Quillmarsh\\Tavik\\" + sub_key, &key,
                                    nullptr),
            ERROR_SUCCESS);
  return key;
}

}  // namespace

const TestKey& Key() {
  static const TestKey key = MakeKey();
  return key;
}

Bytes Encrypted(const Bytes& plain) {
  Bytes data = plain;
  auto key = FileCipherKey();
  if (!data.empty()) _enc(data.data(), static_cast<unsigned>(data.size()), key.data(), 33);
  return data;
}

Bytes Decrypted(const Bytes& cipher) {
  Bytes data = cipher;
  auto key = FileCipherKey();
  if (!data.empty()) _dec(data.data(), static_cast<unsigned>(data.size()), key.data(), 33);
  return data;
}

Bytes FromHex(std::string_view hex) {
  std::string digits;
  for (const char c : hex) {
    if (c != ' ') digits.push_back(c);
  }
  Bytes bytes(digits.size() / 2);
  if (!tavik::hex::DecodeStrict(digits, bytes.data(), bytes.size())) ADD_FAILURE() << "not hex: " << hex;
  return bytes;
}

MorvelTest::MorvelTest() { MakeHostFolder('C', "Docs"); }

MorvelTest::~MorvelTest() { kernel_.reset(); }

void MorvelTest::AddDrive(char letter, uint32_t serial, const std::string& type) {
  std::filesystem::create_directories(machine_.root() / "drives" / std::string(1, letter));
  std::ofstream ini(machine_.root() / "machine.ini", std::ios::app);
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", serial);
  ini << "drive." << letter << ".type = " << type << "\n"
      << "drive." << letter << ".file_system = " << (type == "cdrom" ? "CDFS" : "NTFS") << "\n"
      << "drive." << letter << ".volume_serial = " << hex << "\n"
      << "drive." << letter << ".free_bytes = " << (1ull << 30) << "\n";
}

void MorvelTest::SetRules(const std::u16string& key, const std::vector<std::u16string>& texts) {
  const xp::registry::KeyId id = TavikKey(key);
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string number = std::to_string(i + 1);
    EXPECT_EQ(xp::registry::SetValue(id, std::u16string(number.begin(), number.end()), REG_SZ, Utf16Value(texts[i])),
              ERROR_SUCCESS);
  }
}

void MorvelTest::SetVolumes(const std::vector<uint32_t>& serials) {
  const xp::registry::KeyId id = TavikKey(u"driver");
  for (size_t i = 0; i < serials.size(); ++i) {
    const std::string number = std::to_string(i + 1);
    const uint32_t serial = serials[i];
    const std::vector<uint8_t> data = {static_cast<uint8_t>(serial), static_cast<uint8_t>(serial >> 8),
                                       static_cast<uint8_t>(serial >> 16), static_cast<uint8_t>(serial >> 24)};
    EXPECT_EQ(xp::registry::SetValue(id, std::u16string(number.begin(), number.end()), REG_DWORD, data),
              ERROR_SUCCESS);
  }
}

void MorvelTest::StandardRegistry() {
  SetRules(u"Exclusion", {u"\\WINDOWS"});
  SetVolumes({kSerialC});
}

void MorvelTest::Boot() { kernel_ = std::make_unique<xp::ntos::Kernel>(xp::ntos::KernelOptions{machine_.root()}); }

std::filesystem::path MorvelTest::DriverImage() { return xp::test::BuildProgram("morvel"); }

NTSTATUS MorvelTest::LoadDriver() {
  return kernel_->LoadDriver(DriverImage(), kServiceName, xp::ntos::DriverKind::kFileSystem);
}

void MorvelTest::StartWithoutKey() {
  StandardRegistry();
  Boot();
  ASSERT_EQ(LoadDriver(), STATUS_SUCCESS);
}

void MorvelTest::StartWithKey() {
  StartWithoutKey();
  const Reply reply = SetKey(Key().kn, Key().efkn, 0);
  ASSERT_EQ(reply.status, STATUS_SUCCESS);
  ASSERT_EQ(reply.output, Bytes{1});
}

NTSTATUS MorvelTest::UnloadDriver(std::vector<xp::ntos::PoolLeak>* leaks) {
  return kernel_->UnloadDriver(kServiceName, leaks);
}

Opened MorvelTest::OpenControl() {
  return xp::test::nt::Open(u"\\??\\Morvel", GENERIC_READ | GENERIC_WRITE, 0, FILE_OPEN, FILE_SYNCHRONOUS_IO_NONALERT,
                            nullptr, 0);
}

Reply MorvelTest::Control(HANDLE control, uint32_t code, const Bytes& input, ULONG output_length) {
  Bytes in = input;
  Reply reply;
  reply.output.assign(output_length, 0xEE);
  IO_STATUS_BLOCK io_status{};
  reply.status = NtDeviceIoControlFile(control, nullptr, nullptr, nullptr, &io_status, code,
                                       in.empty() ? nullptr : in.data(), static_cast<ULONG>(in.size()),
                                       reply.output.empty() ? nullptr : reply.output.data(), output_length);
  reply.information = io_status.Information;
  reply.output.resize(std::min<size_t>(reply.information, output_length));
  return reply;
}

Reply MorvelTest::Control(uint32_t code, const Bytes& input, ULONG output_length) {
  const Opened control = OpenControl();
  EXPECT_EQ(control.status, STATUS_SUCCESS);
  Reply reply = Control(control.handle, code, input, output_length);
  NtClose(control.handle);
  return reply;
}

Reply MorvelTest::SetKey(const std::array<uint8_t, 16>& kn, const std::array<uint8_t, 32>& efk, uint8_t flag) {
  Bytes request(kn.begin(), kn.end());
  request.insert(request.end(), efk.begin(), efk.end());
  request.push_back(flag);
  return Control(kMorvelSetFKn, request, 1);
}

Reply MorvelTest::Stats() { return Control(kGetStats, {}, kStatsReplySize); }

Opened MorvelTest::Open(const std::u16string& name, ULONG disposition, ULONG options, ULONG share, HANDLE root,
                        ACCESS_MASK access) {
  const bool folder = (options & FILE_DIRECTORY_FILE) != 0;
  if (access == 0) access = folder ? FILE_LIST_DIRECTORY | DELETE : GENERIC_READ | GENERIC_WRITE | DELETE;
  return xp::test::nt::Open(name, access, share, disposition,
                            options | (folder ? 0 : FILE_NON_DIRECTORY_FILE) | FILE_SYNCHRONOUS_IO_NONALERT, root);
}

NTSTATUS MorvelTest::Write(HANDLE handle, const Bytes& data, LONGLONG offset) {
  return xp::test::nt::Write(handle, data, offset);
}

NTSTATUS MorvelTest::Read(HANDLE handle, Bytes* data, ULONG length, LONGLONG offset) {
  return xp::test::nt::Read(handle, data, length, offset);
}

NTSTATUS MorvelTest::SetEndOfFile(HANDLE handle, LONGLONG size) { return xp::test::nt::SetEndOfFile(handle, size); }

NTSTATUS MorvelTest::SetAllocation(HANDLE handle, LONGLONG size) { return xp::test::nt::SetAllocation(handle, size); }

NTSTATUS MorvelTest::Rename(HANDLE handle, const std::u16string& new_name) {
  return xp::test::nt::Rename(handle, new_name, false);
}

NTSTATUS MorvelTest::Flush(HANDLE handle) { return xp::test::nt::Flush(handle); }

void MorvelTest::Close(HANDLE handle) { EXPECT_EQ(NtClose(handle), STATUS_SUCCESS); }

NTSTATUS MorvelTest::WriteFile(const std::u16string& name, const Bytes& data) {
  // The folders on the way are made on the host first.
  const size_t last = name.rfind(u'\\');
  if (name.rfind(u"\\??\\", 0) == 0 && last != std::u16string::npos && last > 7) {
    const std::u16string folder = name.substr(7, last - 7);
    std::string relative(folder.begin(), folder.end());
    for (char& c : relative) c = c == '\\' ? '/' : c;
    MakeHostFolder(static_cast<char>(name[4]), relative);
  }
  const Opened file = Open(name, FILE_OVERWRITE_IF);
  if (!NT_SUCCESS(file.status)) return file.status;
  NTSTATUS status = data.empty() ? STATUS_SUCCESS : Write(file.handle, data, 0);
  if (NT_SUCCESS(status)) status = Flush(file.handle);
  Close(file.handle);
  Settle();
  return status;
}

Bytes MorvelTest::ReadFile(const std::u16string& name, NTSTATUS* status) {
  const Opened file = Open(name, FILE_OPEN);
  if (status != nullptr) *status = file.status;
  if (!NT_SUCCESS(file.status)) return {};
  Bytes data;
  Bytes chunk;
  for (LONGLONG offset = 0;; offset += 65536) {
    const NTSTATUS read = Read(file.handle, &chunk, 65536, offset);
    if (!NT_SUCCESS(read) || chunk.empty()) break;
    data.insert(data.end(), chunk.begin(), chunk.end());
  }
  Close(file.handle);
  return data;
}

void MorvelTest::Settle() { kernel_->LazyWriterTick(); }

std::filesystem::path MorvelTest::Host(char drive, const std::string& relative) const {
  return xp::test::DriveFile(machine_.root(), drive, relative);
}

Bytes MorvelTest::HostBytes(char drive, const std::string& relative) const {
  return xp::test::DriveBytes(machine_.root(), drive, relative);
}

void MorvelTest::PutHostFile(char drive, const std::string& relative, const Bytes& bytes) const {
  xp::test::PutDriveFile(machine_.root(), drive, relative, bytes);
}

void MorvelTest::MakeHostFolder(char drive, const std::string& relative) const {
  std::filesystem::create_directories(Host(drive, relative));
}

bool MorvelTest::DebugLogHas(const std::string& text) const {
  for (const std::string& line : kernel_->DebugLog()) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace tavik::morvel::testing
