// interface against the real driver in the machine's kernel host: loading (also when it runs already), the key
// hand-over and rotation, a key answer check, the device held by another program, removal, and the calls' refusals.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "aes.h"
#include "filter_install.h"
#include "interface.h"
#include "key_format.h"
#include "scratch_machine.h"

namespace xp::driver_interface::testing {
namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

class InterfaceTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFilter(machine_.root()); }
  void TearDown() override {
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    removeKernel(manager, "Morvel");
    CloseServiceHandle(manager);
  }

  static bool KeyHeld() {
    BYTE held = 0xEE;
    EXPECT_TRUE(IsCFKSet(&held));
    return held == 1;
  }

  // Stops and starts the service: a fresh driver, holding no key.
  static void RestartDriver() {
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    const SC_HANDLE service = OpenServiceA(manager, "Morvel", SERVICE_ALL_ACCESS);
    SERVICE_STATUS status;
    EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    EXPECT_TRUE(MorvelLoadDriver());
  }

  xp::test::ScratchMachine machine_;
  const TestKey key_ = MakeKey();
};

TEST_F(InterfaceTest, LoadsTheDriverAndToleratesARunningOne) {
  EXPECT_TRUE(MorvelLoadDriver());
  EXPECT_EQ(MorvelGetErrorCode(0), 0);
  EXPECT_TRUE(MorvelLoadDriver());
  EXPECT_FALSE(KeyHeld());
}

TEST_F(InterfaceTest, AFailedLoadTellsWhy) {
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_EQ(removeKernel(manager, "Morvel"), 1);
  CloseServiceHandle(manager);
  EXPECT_FALSE(MorvelLoadDriver());
  EXPECT_EQ(MorvelGetErrorCode(0), static_cast<int>(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(MorvelGetErrorCode(1), -1);
  BYTE held = 0xEE;
  EXPECT_FALSE(IsCFKSet(&held));
  EXPECT_EQ(held, 0xEE);
}

TEST_F(InterfaceTest, KeyHandOverAndRotation) {
  ASSERT_TRUE(MorvelLoadDriver());
  EXPECT_FALSE(MorvelStart());
  TestKey wrong = MakeKey(9);
  EXPECT_FALSE(MorvelSetCFK(wrong.kn.data(), key_.efkn.data(), 0));
  EXPECT_FALSE(KeyHeld());
  ASSERT_TRUE(MorvelSetCFK(key_.kn.data(), key_.efkn.data(), 0));
  EXPECT_TRUE(KeyHeld());
  EXPECT_TRUE(MorvelStart());

  // The next SN is SN encrypted under the file key; the next EFKN is the key wrapped under KN'.
  const std::array<uint8_t, 16> sn = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  std::array<uint8_t, 16> next_sn{};
  ASSERT_TRUE(MorvelGetSn(sn.data(), next_sn.data()));
  tavik::cipher::AesKey file_key;
  tavik::cipher::ExpandKey(key_.xcfk.data(), &file_key);
  std::array<uint8_t, 16> expected_sn{};
  tavik::cipher::EncryptBlock(file_key, sn.data(), expected_sn.data());
  EXPECT_EQ(next_sn, expected_sn);
  const TestKey next = MakeKey(1);
  std::array<uint8_t, 32> next_efkn{};
  ASSERT_TRUE(MorvelGetFKn(next.kn.data(), next_efkn.data()));
  std::array<uint8_t, 32> expected_efkn{};
  tavik::keys::WrapXcfk(next.kn.data(), key_.xcfk.data(), expected_efkn.data());
  EXPECT_EQ(next_efkn, expected_efkn);

  // After a restart the new records open the same key.
  RestartDriver();
  EXPECT_FALSE(KeyHeld());
  EXPECT_TRUE(MorvelSetCFK(next.kn.data(), next_efkn.data(), 0));
  std::array<uint8_t, 16> again{};
  ASSERT_TRUE(MorvelGetSn(sn.data(), again.data()));
  EXPECT_EQ(again, expected_sn);
}

TEST_F(InterfaceTest, ThePlainKeyAndKeyAnswers) {
  ASSERT_TRUE(MorvelLoadDriver());
  ASSERT_TRUE(MorvelSetCFK(nullptr, key_.xcfk.data(), 1));
  EXPECT_TRUE(KeyHeld());
  EXPECT_TRUE(MorvelCheckCFK(key_.kn.data(), key_.efkn.data()));
  const TestKey wrong = MakeKey(5);
  EXPECT_FALSE(MorvelCheckCFK(wrong.kn.data(), key_.efkn.data()));
}

// The device takes one handle at a time: a call made while another program holds it waits for its turn.
TEST_F(InterfaceTest, WaitsWhileAnotherProgramHoldsTheDevice) {
  ASSERT_TRUE(MorvelLoadDriver());
  const HANDLE held = CreateFileA("\\\\.\\Morvel", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  BOOL answered = FALSE;
  BYTE key_held = 0xEE;
  std::atomic<bool> returned{false};
  std::thread caller([&] {
    answered = IsCFKSet(&key_held);
    returned = true;
  });
  // Closed only once the driver has turned the caller away at least once, so the call is seen waiting its turn.
  // The machine's kernel host writes the driver's debugger output to its log.
  const auto refused = [&] {
    std::ifstream log(machine_.root() / "kernel" / "host.log");
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    return text.find("\nControl device busy") != std::string::npos;
  };
  while (!refused() && !returned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(returned);
  CloseHandle(held);
  caller.join();
  EXPECT_TRUE(answered);
  EXPECT_EQ(key_held, 0);
}

TEST_F(InterfaceTest, RemoveKernelStopsAndDeletesTheService) {
  ASSERT_TRUE(MorvelLoadDriver());
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  EXPECT_EQ(removeKernel(manager, "Morvel"), 1);
  EXPECT_EQ(OpenServiceA(manager, "Morvel", SERVICE_QUERY_STATUS), nullptr);
  BYTE held = 0;
  EXPECT_FALSE(IsCFKSet(&held));
  // Gone already: an uninstall resumed after the removal goes on.
  EXPECT_EQ(removeKernel(manager, "Morvel"), 1);
  CloseServiceHandle(manager);
}

TEST_F(InterfaceTest, RefusesMissingBuffersAndTheShutdownCall) {
  const struct {
    const char* call;
    BOOL result;
  } rows[] = {
      {"IsCFKSet", IsCFKSet(nullptr)},
      {"MorvelSetCFK", MorvelSetCFK(key_.kn.data(), nullptr, 0)},
      {"MorvelCheckCFK", MorvelCheckCFK(nullptr, key_.efkn.data())},
      {"MorvelGetSn", MorvelGetSn(nullptr, nullptr)},
      {"MorvelGetFKn", MorvelGetFKn(key_.kn.data(), nullptr)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.call);
    EXPECT_FALSE(row.result);
  }
  SetLastError(kSentinel);
  EXPECT_FALSE(MorvelGetSn(nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(MorvelShutdown());
  EXPECT_EQ(GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
}

}  // namespace
}  // namespace xp::driver_interface::testing
