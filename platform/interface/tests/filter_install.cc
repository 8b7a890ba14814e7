// The installed filter driver and key material of filter_install.h.
#include "filter_install.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "built_programs.h"
#include "file_cipher.h"
#include "key_format.h"
#include "windows.h"
#include "xp/registry.h"

namespace xp::driver_interface::testing {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSerialC = 0x5A3C71E4;  // a new machine's drive C:

std::vector<uint8_t> Utf16WithNul(const std::u16string& text) {
  std::vector<uint8_t> data;
  for (char16_t c : text) data.insert(data.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
  data.insert(data.end(), {0, 0});
  return data;
}

void SetTavikValue(const std::u16string& key, DWORD type, const std::vector<uint8_t>& data) {
  registry::KeyId id = 0;
  ASSERT_EQ(registry::CreateKey(registry::kMachineKey, u"SOFTWARE\\Quillmarsh\\Tavik\\" + key, &id, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(registry::SetValue(id, u"1", type, data), ERROR_SUCCESS);
}

}  // namespace

TestKey MakeKey(uint8_t seed) {
  TestKey key{};
  std::array<uint8_t, 16> cfk{};
  for (int i = 0; i < 16; ++i) {
    cfk[i] = static_cast<uint8_t>(0xA0 + 7 * i + seed);
    key.kn[i] = static_cast<uint8_t>(0x31 + 11 * i + 3 * seed);
  }
  tavik::keys::ExpandCfk(cfk.data(), key.xcfk.data());
  tavik::keys::WrapXcfk(key.kn.data(), key.xcfk.data(), key.efkn.data());
  return key;
}

void InstallFilter(const fs::path& machine_root) {
  const fs::path drivers = machine_root / "drives" / "C" / "WINDOWS" / "system32" / "drivers";
  fs::create_directories(drivers);
  fs::copy_file(xp::test::BuildProgram("morvel"), drivers / "morvel.sys", fs::copy_options::overwrite_existing);
  fs::create_directories(machine_root / "drives" / "C" / "Docs");
  SetTavikValue(u"Exclusion", REG_SZ, Utf16WithNul(u"\\WINDOWS"));
  SetTavikValue(u"driver", REG_DWORD,
                {static_cast<uint8_t>(kSerialC), static_cast<uint8_t>(kSerialC >> 8),
                 static_cast<uint8_t>(kSerialC >> 16), static_cast<uint8_t>(kSerialC >> 24)});
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(manager, nullptr);
  const SC_HANDLE service = CreateServiceA(manager, "Morvel", "Morvel", SERVICE_ALL_ACCESS,
                                           SERVICE_FILE_SYSTEM_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                           "C:\\WINDOWS\\system32\\drivers\\morvel.sys", nullptr, nullptr, nullptr,
                                           nullptr, nullptr);
  ASSERT_NE(service, nullptr);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

Bytes Encrypted(const Bytes& plain, const TestKey& key) {
  tavik::cipher::AesKey schedule;
  tavik::cipher::ExpandKey(key.xcfk.data(), &schedule);
  Bytes data = plain;
  tavik::cipher::EncryptStream(schedule, data.data(), data.size());
  return data;
}

std::string Hex(const uint8_t* data, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < size; ++i) text += {kDigits[data[i] >> 4], kDigits[data[i] & 15]};
  return text;
}

Bytes ReadHostFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteHostFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace xp::driver_interface::testing
