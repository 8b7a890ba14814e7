// The start phase: the driver's "nostart" setting as stored, and the install state that stands in for the driver's
// key once a run has removed it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "diskunseal_private.h"
#include "scratch_machine.h"
#include "setupcore.h"
#include "windows.h"

namespace tavik::diskunseal {
namespace {

constexpr char kDriverKey[] = "SOFTWARE\\Quillmarsh\\Tavik\\driver";
constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";

class KernelStartStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string path;
    for (const char* part : {"C:\\Program Files", "\\Quillmarsh", "\\Tavik", "\\XP"}) {
      path += part;
      CreateDirectoryA(path.c_str(), nullptr);
    }
    ASSERT_TRUE(_construct_morvel_sys_files(true));
  }
  // The "driver" key with "nostart" stored as the given bytes and type; no key at all when absent.
  static void Driver(std::optional<std::vector<BYTE>> nostart, DWORD type = REG_DWORD) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (nostart) {
      ASSERT_EQ(RegSetValueExA(key, "nostart", 0, type, nostart->data(), static_cast<DWORD>(nostart->size())),
                ERROR_SUCCESS);
    }
    RegCloseKey(key);
  }
  static std::vector<BYTE> Dword(DWORD value) {
    return {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
  }
  xp::test::ScratchMachine machine_{xp::test::ScratchOptions{.token_seed = 3, .fresh_registry = false}};
};

TEST_F(KernelStartStateTest, NostartAsStored) {
  const struct {
    const char* name;
    std::optional<std::vector<BYTE>> nostart;
    KernelStartState expected;
  } rows[] = {
      {"activation on", Dword(1), kFirstStart},
      {"activation off", Dword(0), kSecondStart},
      {"a value nobody writes", Dword(7), kUnknownStart},
      {"no value in the key", std::nullopt, kUnreadableStart},
      {"two bytes, not four", std::vector<BYTE>{1, 0}, kUnreadableStart},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverKey);
    Driver(row.nostart);
    EXPECT_EQ(ReadKernelStartState(), row.expected);
  }
}

TEST_F(KernelStartStateTest, WithoutTheDriverKeyTheInstallStateDecides) {
  const struct {
    const char* state_text;
    KernelStartState expected;
  } rows[] = {
      {"0", kNoDriverKey},
      {"1099", kNoDriverKey},
      {"1100", kSecondStart},
      {"1300", kSecondStart},
      {"not a number", kNoDriverKey},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.state_text);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverKey);
    const std::string state_file = std::string(kInstallFolder) + "\\MRVSTATE";
    HANDLE file = CreateFileA(state_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, row.state_text, DWORD(std::string(row.state_text).size()), &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(ReadKernelStartState(), row.expected);
  }
}

}  // namespace
}  // namespace tavik::diskunseal
