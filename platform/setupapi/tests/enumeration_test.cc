// Conformance of the device-interface enumeration: member order, the end of the walk, the two-call detail
// protocol, the snapshot a set takes, invalid handles and arguments, and the injected failures. Each check sets
// a sentinel last error first and compares both the result and GetLastError().
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "scratch_machine.h"
#include "setupapi.h"
#include "windows.h"
#include "xp/setupapi_testing.h"
#include "xp/usbtoken.h"

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;
constexpr GUID kTokenClass = xp::usbtoken::kInterfaceClass;
constexpr GUID kOtherClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr DWORD kDetailFixedSize = 5;

SP_DEVICE_INTERFACE_DATA EmptyInterfaceData() {
  SP_DEVICE_INTERFACE_DATA data;
  std::memset(&data, 0, sizeof data);
  data.cbSize = sizeof data;
  return data;
}

class SetupApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.emplace(xp::test::ScratchOptions{.token_seed = 1});
    root_ = machine_->root();
    first_ = machine_->token_id();
    second_ = xp::usbtoken::Provision(root_, 2);
    live_before_ = xp::setupapi::LiveSetCount();
  }
  void TearDown() override {
    xp::setupapi::ClearFaults();
    EXPECT_EQ(xp::setupapi::LiveSetCount(), live_before_) << "a test leaked a device information set";
    machine_.reset();
  }

  static HDEVINFO TokenSet() {
    SetLastError(kSentinel);
    const HDEVINFO set = SetupDiGetClassDevsA(&kTokenClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_NE(set, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    return set;
  }

  // The device path of member `index`, through both detail calls.
  static std::string PathAt(HDEVINFO set, DWORD index) {
    SP_DEVICE_INTERFACE_DATA data = EmptyInterfaceData();
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kTokenClass, index, &data)) return "<enum failed>";
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr);
    std::vector<char> buffer(required);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
    detail->cbSize = kDetailFixedSize;
    if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr)) return "<detail failed>";
    return detail->DevicePath;
  }

  std::optional<xp::test::ScratchMachine> machine_;
  std::filesystem::path root_;
  std::string first_;
  std::string second_;
  size_t live_before_ = 0;
};

TEST_F(SetupApiTest, EnumeratesPluggedTokensInCreationOrderThenNoMoreItems) {
  const std::string third = xp::usbtoken::Provision(root_, 3);
  ASSERT_TRUE(xp::usbtoken::Unplug(root_, second_));
  const HDEVINFO set = TokenSet();
  EXPECT_EQ(xp::setupapi::LiveSetCount(), live_before_ + 1);
  const std::string expected[] = {xp::usbtoken::InterfacePath(first_), xp::usbtoken::InterfacePath(third)};
  for (DWORD index = 0; index < 2; ++index) {
    SCOPED_TRACE(testing::Message() << "index " << index);
    SP_DEVICE_INTERFACE_DATA data = EmptyInterfaceData();
    SetLastError(kSentinel);
    EXPECT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kTokenClass, index, &data));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(std::memcmp(&data.InterfaceClassGuid, &kTokenClass, sizeof(GUID)), 0);
    EXPECT_EQ(data.Flags, 1u);  // SPINT_ACTIVE
    EXPECT_EQ(PathAt(set, index), expected[index]);
  }
  for (DWORD index : {2u, 3u, 1000u}) {
    SP_DEVICE_INTERFACE_DATA data = EmptyInterfaceData();
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kTokenClass, index, &data)) << index;
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS) << index;
  }
  SetLastError(kSentinel);
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
}

TEST_F(SetupApiTest, DetailTakesTwoCallsSizeThenPath) {
  const HDEVINFO set = TokenSet();
  SP_DEVICE_INTERFACE_DATA data = EmptyInterfaceData();
  ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kTokenClass, 1, &data));
  const std::string path = xp::usbtoken::InterfacePath(second_);
  const DWORD needed = static_cast<DWORD>(4 + path.size() + 1);

  DWORD required = 0;
  SetLastError(kSentinel);
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(required, needed);

  std::vector<char> buffer(needed + 8, 'x');
  auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
  struct Case {
    DWORD cb_size;
    DWORD detail_size;
    BOOL result;
    DWORD error;
  };
  const Case cases[] = {
      {kDetailFixedSize, needed - 1, FALSE, ERROR_INSUFFICIENT_BUFFER},
      {0, needed, FALSE, ERROR_INVALID_USER_BUFFER},
      {4, needed, FALSE, ERROR_INVALID_USER_BUFFER},
      {8, needed, FALSE, ERROR_INVALID_USER_BUFFER},  // the unpacked size of the record
      {kDetailFixedSize, 4, FALSE, ERROR_INVALID_USER_BUFFER},
      {kDetailFixedSize, needed, TRUE, ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "cbSize " << c.cb_size << " size " << c.detail_size);
    detail->cbSize = c.cb_size;
    required = 0;
    SetLastError(kSentinel);
    EXPECT_EQ(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, c.detail_size, &required, nullptr), c.result);
    EXPECT_EQ(GetLastError(), c.error);
    if (c.error == ERROR_INSUFFICIENT_BUFFER || c.result) {
      EXPECT_EQ(required, needed);
    }
  }
  EXPECT_EQ(std::string(detail->DevicePath), path);
  EXPECT_EQ(buffer[needed], 'x') << "wrote past the path's NUL";

  // A NULL record with a nonzero size, and an interface record that no enumeration filled in.
  SetLastError(kSentinel);
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 10, &required, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
  SP_DEVICE_INTERFACE_DATA blank = EmptyInterfaceData();
  SetLastError(kSentinel);
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &blank, nullptr, 0, &required, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupApiTest, OtherClassesHaveNoInterfaces) {
  SetLastError(kSentinel);
  const HDEVINFO other = SetupDiGetClassDevsA(&kOtherClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  SP_DEVICE_INTERFACE_DATA data = EmptyInterfaceData();
  SetLastError(kSentinel);
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(other, nullptr, &kOtherClass, 0, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(other));

  const HDEVINFO tokens = TokenSet();
  SetLastError(kSentinel);
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(tokens, nullptr, &kOtherClass, 0, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(tokens));
}

TEST_F(SetupApiTest, RefusesWhatTheStandInDoesNotImplement) {
  struct Case {
    const GUID* guid;
    const char* enumerator;
    DWORD flags;
    DWORD error;
  };
  const Case cases[] = {
      {&kTokenClass, nullptr, DIGCF_PRESENT, ERROR_CALL_NOT_IMPLEMENTED},
      {&kTokenClass, nullptr, DIGCF_DEVICEINTERFACE, ERROR_CALL_NOT_IMPLEMENTED},
      {nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PROFILE, ERROR_CALL_NOT_IMPLEMENTED},
      {&kTokenClass, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE | DIGCF_PROFILE, ERROR_CALL_NOT_IMPLEMENTED},
      {&kTokenClass, "USB", DIGCF_PRESENT | DIGCF_DEVICEINTERFACE, ERROR_CALL_NOT_IMPLEMENTED},
      {nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE, ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << c.flags);
    SetLastError(kSentinel);
    EXPECT_EQ(SetupDiGetClassDevsA(c.guid, c.enumerator, nullptr, c.flags), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error);
  }
  const HDEVINFO set = TokenSet();
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  SP_DEVICE_INTERFACE_DATA data = EmptyInterfaceData();
  SetLastError(kSentinel);
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, &device, &kTokenClass, 0, &data));
  EXPECT_EQ(GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
  data.cbSize = 0;
  SetLastError(kSentinel);
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kTokenClass, 0, &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupApiTest, InvalidHandlesFail) {
  const HDEVINFO destroyed = TokenSet();
  ASSERT_TRUE(SetupDiDestroyDeviceInfoList(destroyed));
  int not_a_set = 0;
  for (HDEVINFO bad : {HDEVINFO{nullptr}, HDEVINFO{INVALID_HANDLE_VALUE}, HDEVINFO{&not_a_set}, destroyed}) {
    SCOPED_TRACE(bad);
    SP_DEVICE_INTERFACE_DATA data = EmptyInterfaceData();
    DWORD required = 0;
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(bad, nullptr, &kTokenClass, 0, &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(bad, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(kSentinel);
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
}

// The set is a snapshot: a token unplugged after it was made is still listed, but no longer opens.
TEST_F(SetupApiTest, UnplugBetweenEnumerationAndOpen) {
  const HDEVINFO set = TokenSet();
  const std::string third = xp::usbtoken::Provision(root_, 3);
  ASSERT_TRUE(xp::usbtoken::Unplug(root_, first_));
  const std::string path = PathAt(set, 0);
  EXPECT_EQ(path, xp::usbtoken::InterfacePath(first_));
  SP_DEVICE_INTERFACE_DATA data = EmptyInterfaceData();
  SetLastError(kSentinel);
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kTokenClass, 2, &data)) << "plugged after the snapshot";
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);

  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupApiTest, InjectedFailures) {
  xp::setupapi::FailClassDevs(ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(kSentinel);
  EXPECT_EQ(SetupDiGetClassDevsA(&kTokenClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(xp::setupapi::LiveSetCount(), live_before_);
  xp::setupapi::ClearFaults();

  xp::setupapi::FailEnumAt(0, ERROR_GEN_FAILURE);
  xp::setupapi::FailDetailAt(1, ERROR_NOT_ENOUGH_MEMORY);
  const HDEVINFO set = TokenSet();
  SP_DEVICE_INTERFACE_DATA data = EmptyInterfaceData();
  SetLastError(kSentinel);
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kTokenClass, 0, &data));
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kTokenClass, 1, &data));
  DWORD required = 0;
  SetLastError(kSentinel);
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));

  ASSERT_TRUE(xp::usbtoken::FailOpens(root_, first_, 1, ERROR_ACCESS_DENIED));
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileA(xp::usbtoken::InterfacePath(first_).c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

// The whole road to the token as its library takes it: walk the set, open the first path, ask for the status.
TEST_F(SetupApiTest, FoundPathOpensTheToken) {
  const HDEVINFO set = TokenSet();
  const std::string path = PathAt(set, 0);
  ASSERT_TRUE(SetupDiDestroyDeviceInfoList(set));
  const HANDLE token = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(token, INVALID_HANDLE_VALUE) << GetLastError();
  uint8_t request[20] = {0x31, 0x00, 1, 0};
  DWORD returned = 0;
  EXPECT_TRUE(DeviceIoControl(token, 0x220000, request, sizeof request, request, sizeof request, &returned, nullptr));
  EXPECT_EQ(request[4], 0x01);
  EXPECT_TRUE(CloseHandle(token));
}

}  // namespace
