// CreateFileA on the token's interface path and DeviceIoControl on the handle: opening, requests, unplugging,
// closing, and the calls that must fail.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "scratch_machine.h"
#include "windows.h"
#include "xp/machine.h"
#include "xp/usbtoken.h"

namespace {

class DeviceTest : public ::testing::Test {
 protected:
  std::string InterfacePath() const { return xp::usbtoken::List(machine_.root()).at(0).interface_path; }

  static HANDLE Open(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  }

  // Reads the status register (0x31, one byte) with the 20-byte request buffer.
  static BOOL ReadStatus(HANDLE device, std::array<BYTE, 20>* buffer) {
    buffer->fill(0);
    (*buffer)[0] = 0x31;
    (*buffer)[2] = 1;
    DWORD returned = 0;
    return DeviceIoControl(device, xp::usbtoken::kReadRegister, buffer->data(), 20, buffer->data(), 20, &returned,
                           nullptr);
  }

  xp::test::ScratchMachine machine_;
};

TEST_F(DeviceTest, OpensTheTokenAndCarriesRequests) {
  SetLastError(0xdeadbeef);
  const HANDLE device = Open(InterfacePath());
  ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_EQ(GetLastError(), 0u);
  std::array<BYTE, 20> buffer;
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(ReadStatus(device, &buffer));
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(buffer[4] & 1, 1) << "a fresh token is ready";
  const std::vector<xp::usbtoken::Request> log = xp::usbtoken::RequestLog(machine_.root(), machine_.token_id());
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].code, xp::usbtoken::kReadRegister);
  EXPECT_EQ(log[0].reg, 0x31);
  EXPECT_TRUE(CloseHandle(device));
}

TEST_F(DeviceTest, DevicePathPrefixIsCaseInsensitiveAndSeveralHandlesOpenAtOnce) {
  std::string upper = InterfacePath();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const HANDLE first = Open(InterfacePath());
  const HANDLE second = Open(upper);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_NE(first, second);
  std::array<BYTE, 20> buffer;
  EXPECT_TRUE(ReadStatus(second, &buffer));
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_TRUE(ReadStatus(second, &buffer));
  EXPECT_TRUE(CloseHandle(second));
}

TEST_F(DeviceTest, UnpluggingFailsOpenHandlesAndLaterOpens) {
  const std::string path = InterfacePath();
  const HANDLE device = Open(path);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(xp::usbtoken::Unplug(machine_.root(), machine_.token_id()));
  std::array<BYTE, 20> buffer;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ReadStatus(device, &buffer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_TRUE(CloseHandle(device));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(Open(path), INVALID_HANDLE_VALUE);
  EXPECT_NE(GetLastError(), 0xdeadbeefu);
  EXPECT_NE(GetLastError(), 0u);
}

TEST_F(DeviceTest, AFailedCloseIsReportedAndTheHandleIsGone) {
  const HANDLE device = Open(InterfacePath());
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(xp::usbtoken::FailCloses(machine_.root(), machine_.token_id(), 1, ERROR_IO_DEVICE));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseHandle(device));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_DEVICE));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseHandle(device));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceTest, CallsOutsideTheDeviceFaceFail) {
  const HANDLE mutex = CreateMutexA(nullptr, FALSE, "NotADevice");
  ASSERT_NE(mutex, nullptr);
  const HANDLE device = Open(InterfacePath());
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  static std::array<BYTE, 20> buffer;
  static HANDLE the_mutex, the_device;
  the_mutex = mutex;
  the_device = device;
  const struct {
    const char* what;
    bool (*call)();  // true when the call succeeded
    DWORD error;
  } rows[] = {
      {"a missing file", [] { return Open("C:\\missing.ini") != INVALID_HANDLE_VALUE; }, ERROR_FILE_NOT_FOUND},
      {"a device made anew",
       [] {
         return CreateFileA(xp::usbtoken::List(xp::machine::Root()).at(0).interface_path.c_str(), GENERIC_READ, 0,
                            nullptr, CREATE_ALWAYS, 0, nullptr) != INVALID_HANDLE_VALUE;
       },
       ERROR_CALL_NOT_IMPLEMENTED},
      {"a token that is not there",
       [] { return Open("\\\\?\\usb#vid_7a5c&pid_0c01#token9#{x}") != INVALID_HANDLE_VALUE; }, 0},
      {"ioctl on a bad handle", [] { return ReadStatus(reinterpret_cast<HANDLE>(0x7ffffff0), &buffer) != FALSE; },
       ERROR_INVALID_HANDLE},
      {"ioctl on a mutex", [] { return ReadStatus(the_mutex, &buffer) != FALSE; }, ERROR_INVALID_FUNCTION},
      {"overlapped ioctl",
       [] {
         DWORD returned = 0;
         return DeviceIoControl(the_device, xp::usbtoken::kReadRegister, buffer.data(), 20, buffer.data(), 20,
                                &returned, reinterpret_cast<LPOVERLAPPED>(buffer.data())) != FALSE;
       },
       ERROR_CALL_NOT_IMPLEMENTED},
      {"wait on a device", [] { return WaitForSingleObject(the_device, 0) != WAIT_FAILED; },
       ERROR_CALL_NOT_IMPLEMENTED},
  };
  for (const auto& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(row.call()) << row.what;
    if (row.error != 0) {
      EXPECT_EQ(GetLastError(), row.error) << row.what;
    } else {
      EXPECT_NE(GetLastError(), 0xdeadbeefu) << row.what << ": the error of the failed open";
    }
  }
  EXPECT_TRUE(CloseHandle(device));
  EXPECT_TRUE(CloseHandle(mutex));
}

}  // namespace
