// The service manager over the machine's registry and the kernel the caller reaches (here, a kernel model the test
// boots in its own process, so that the kernel's side can be looked at directly):
// the table's key layout, a driver's life (start, status, stop), start failures, delete while running, who may do
// what, and the errors of each call's arguments and handles.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "built_programs.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/ntos.h"
#include "xp/registry.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD kSentinel = 0xDEADBEEF;
constexpr char kImage[] = "C:\\WINDOWS\\system32\\drivers\\xptest.sys";

std::vector<uint8_t> Dword(DWORD value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

std::vector<uint8_t> Utf16WithNul(const std::string& text) {
  std::vector<uint8_t> data;
  for (char c : text) data.insert(data.end(), {static_cast<uint8_t>(c), 0});
  data.insert(data.end(), {0, 0});
  return data;
}

class ServiceManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path drivers = machine_.root() / "drives" / "C" / "WINDOWS" / "system32" / "drivers";
    fs::create_directories(drivers);
    fs::copy_file(xp::test::BuildProgram("xp_ntos_test_driver"), drivers / "xptest.sys");
    kernel_ = std::make_unique<xp::ntos::Kernel>(xp::ntos::KernelOptions{machine_.root()});
    manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager_, nullptr);
  }
  void TearDown() override {
    if (const SC_HANDLE service = OpenServiceA(manager_, "XpTest", SERVICE_STOP)) {
      SERVICE_STATUS status;
      ControlService(service, SERVICE_CONTROL_STOP, &status);
      CloseServiceHandle(service);
    }
    CloseServiceHandle(manager_);
    kernel_.reset();
  }

  SC_HANDLE Create(DWORD start = SERVICE_DEMAND_START, const char* image = kImage) {
    return CreateServiceA(manager_, "XpTest", "XpTest", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, start,
                          SERVICE_ERROR_NORMAL, image, nullptr, nullptr, nullptr, nullptr, nullptr);
  }

  static bool KeyExists() {
    xp::registry::KeyId key = 0;
    return xp::registry::OpenPath(u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\XpTest", &key) ==
           ERROR_SUCCESS;
  }

  static xp::registry::Value Value(const std::u16string& name) {
    xp::registry::KeyId key = 0;
    xp::registry::Value value;
    EXPECT_EQ(xp::registry::OpenPath(u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\XpTest", &key),
              ERROR_SUCCESS);
    xp::registry::QueryValue(key, name, &value);
    return value;
  }

  bool DriverLoaded() const { return kernel_->DriverRunning(u"XpTest"); }

  xp::test::ScratchMachine machine_;
  std::unique_ptr<xp::ntos::Kernel> kernel_;
  SC_HANDLE manager_ = nullptr;
};

TEST_F(ServiceManagerTest, CreateWritesTheServiceKeyAsXpDoes) {
  const SC_HANDLE service =
      CreateServiceA(manager_, "XpTest", "Test Driver", SERVICE_ALL_ACCESS, SERVICE_FILE_SYSTEM_DRIVER,
                     SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, kImage, nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(service, nullptr);
  const struct {
    std::u16string name;
    DWORD type;
    std::vector<uint8_t> data;
  } rows[] = {
      {u"Type", REG_DWORD, Dword(2)},
      {u"Start", REG_DWORD, Dword(3)},
      {u"ErrorControl", REG_DWORD, Dword(1)},
      {u"ImagePath", REG_EXPAND_SZ, Utf16WithNul(kImage)},
      {u"DisplayName", REG_SZ, Utf16WithNul("Test Driver")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(xp::registry::Utf16ToUtf8(row.name));
    const xp::registry::Value value = Value(row.name);
    EXPECT_EQ(value.type, row.type);
    EXPECT_EQ(value.data, row.data);
  }
  SetLastError(kSentinel);
  EXPECT_EQ(Create(), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);
  EXPECT_TRUE(CloseServiceHandle(service));
}

TEST_F(ServiceManagerTest, StartStatusAndStopOfADriver) {
  const SC_HANDLE service = Create();
  ASSERT_NE(service, nullptr);
  SERVICE_STATUS status{};
  ASSERT_TRUE(QueryServiceStatus(service, &status));
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  ASSERT_TRUE(StartServiceA(service, 0, nullptr));
  EXPECT_TRUE(DriverLoaded());
  ASSERT_TRUE(QueryServiceStatus(service, &status));
  EXPECT_EQ(status.dwServiceType, SERVICE_KERNEL_DRIVER);
  EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
  EXPECT_EQ(status.dwControlsAccepted, SERVICE_ACCEPT_STOP);
  SetLastError(kSentinel);
  EXPECT_FALSE(StartServiceA(service, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
  EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  EXPECT_FALSE(DriverLoaded());
  SetLastError(kSentinel);
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
  EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
  CloseServiceHandle(service);
}

TEST_F(ServiceManagerTest, StartFailuresReportTheKernelsReason) {
  const struct {
    const char* what;
    DWORD start;
    const char* image;
    bool driver_refuses;
    DWORD error;
  } rows[] = {
      {"image missing", SERVICE_DEMAND_START, "C:\\WINDOWS\\system32\\drivers\\none.sys", false, ERROR_FILE_NOT_FOUND},
      {"DriverEntry fails", SERVICE_DEMAND_START, kImage, true, ERROR_FILE_NOT_FOUND},
      {"disabled", SERVICE_DISABLED, kImage, false, ERROR_SERVICE_DISABLED},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const SC_HANDLE service = Create(row.start, row.image);
    ASSERT_NE(service, nullptr);
    if (row.driver_refuses) {
      xp::registry::KeyId key = 0;
      xp::registry::OpenPath(u"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\XpTest", &key);
      xp::registry::SetValue(key, u"Fail", REG_DWORD, Dword(1));
    }
    SetLastError(kSentinel);
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_FALSE(DriverLoaded());
    EXPECT_TRUE(DeleteService(service));
    CloseServiceHandle(service);
  }
}

TEST_F(ServiceManagerTest, ADriverDeletedWhileRunningLeavesTheTableWhenItStops) {
  const SC_HANDLE service = Create();
  ASSERT_NE(service, nullptr);
  ASSERT_TRUE(StartServiceA(service, 0, nullptr));
  ASSERT_TRUE(DeleteService(service));
  EXPECT_EQ(Value(u"DeleteFlag").data, Dword(1));
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteService(service));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  EXPECT_EQ(Create(), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  SERVICE_STATUS status;
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_FALSE(KeyExists());
  SetLastError(kSentinel);
  EXPECT_FALSE(StartServiceA(service, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  EXPECT_EQ(OpenServiceA(manager_, "XpTest", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  CloseServiceHandle(service);
  const SC_HANDLE again = Create();
  EXPECT_NE(again, nullptr);
  CloseServiceHandle(again);
}

TEST_F(ServiceManagerTest, AStoppedDriverIsDeletedAtOnce) {
  const SC_HANDLE service = Create();
  ASSERT_NE(service, nullptr);
  ASSERT_TRUE(DeleteService(service));
  EXPECT_FALSE(KeyExists());
  CloseServiceHandle(service);
  SetLastError(kSentinel);
  EXPECT_EQ(OpenServiceA(manager_, "xptest", SERVICE_QUERY_STATUS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
}

TEST_F(ServiceManagerTest, OnlyAdministratorsMayChangeServices) {
  CloseServiceHandle(Create());
  ::setenv("XPMACHINE_USER", "User", 1);
  SetLastError(kSentinel);
  EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  const SC_HANDLE connected = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  ASSERT_NE(connected, nullptr);
  SetLastError(kSentinel);
  EXPECT_EQ(OpenServiceA(connected, "XpTest", SERVICE_START), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  const SC_HANDLE querying = OpenServiceA(connected, "XpTest", SERVICE_QUERY_STATUS);
  ASSERT_NE(querying, nullptr);
  SERVICE_STATUS status;
  EXPECT_TRUE(QueryServiceStatus(querying, &status));
  SetLastError(kSentinel);
  EXPECT_FALSE(StartServiceA(querying, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteService(querying));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateServiceA(connected, "Other", nullptr, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                           SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, kImage, nullptr, nullptr, nullptr, nullptr,
                           nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseServiceHandle(querying);
  CloseServiceHandle(connected);
  ::unsetenv("XPMACHINE_USER");
}

TEST_F(ServiceManagerTest, CreateRefusesWhatTheTableCannotHold) {
  DWORD tag = 0;
  const struct {
    const char* what;
    const char* name;
    DWORD type;
    DWORD start;
    DWORD error_control;
    const char* image;
    LPDWORD tag_id;
    DWORD error;
  } rows[] = {
      {"no name", "", SERVICE_KERNEL_DRIVER, 3, 1, kImage, nullptr, ERROR_INVALID_NAME},
      {"a separator", "a\\b", SERVICE_KERNEL_DRIVER, 3, 1, kImage, nullptr, ERROR_INVALID_NAME},
      {"a bad type", "Bad", 0x4, 3, 1, kImage, nullptr, ERROR_INVALID_PARAMETER},
      {"a bad start", "Bad", SERVICE_KERNEL_DRIVER, 5, 1, kImage, nullptr, ERROR_INVALID_PARAMETER},
      {"a bad error control", "Bad", SERVICE_KERNEL_DRIVER, 3, 4, kImage, nullptr, ERROR_INVALID_PARAMETER},
      {"no image", "Bad", SERVICE_KERNEL_DRIVER, 3, 1, nullptr, nullptr, ERROR_INVALID_PARAMETER},
      {"a Win32 service", "Bad", SERVICE_WIN32_OWN_PROCESS, 3, 1, kImage, nullptr, ERROR_CALL_NOT_IMPLEMENTED},
      {"a tag", "Bad", SERVICE_KERNEL_DRIVER, 3, 1, kImage, &tag, ERROR_CALL_NOT_IMPLEMENTED},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    SetLastError(kSentinel);
    EXPECT_EQ(CreateServiceA(manager_, row.name, nullptr, SERVICE_ALL_ACCESS, row.type, row.start,
                             row.error_control, row.image, nullptr, row.tag_id, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), row.error);
  }
}

TEST_F(ServiceManagerTest, HandlesAndControlsOutsideTheTable) {
  const SC_HANDLE service = Create();
  ASSERT_NE(service, nullptr);
  SERVICE_STATUS status;
  SetLastError(kSentinel);
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_PAUSE, &status));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_SERVICE_CONTROL);
  EXPECT_FALSE(StartServiceA(manager_, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenServiceA(service, "XpTest", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(CloseServiceHandle(service));
  EXPECT_FALSE(CloseServiceHandle(service));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenSCManagerA(nullptr, "Elsewhere", SC_MANAGER_CONNECT), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_DATABASE_DOES_NOT_EXIST);
  EXPECT_EQ(OpenSCManagerA("\\\\OTHER", nullptr, SC_MANAGER_CONNECT), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
}

}  // namespace
