// The service loader with a driver module: DriverEntry gets the service's registry path, a second start does not
// run it again, a failing DriverEntry leaves nothing behind, and the unload reports leaked pool per tag.
#include <algorithm>

#include "built_programs.h"
#include "kernel_fixture.h"
#include "xp/registry.h"

namespace xp::ntos::testing {
namespace {

constexpr ULONG kKeptTag = 0x7065654B;  // "Keep" in a pool dump

std::string TestDriver() { return xp::test::BuildProgram("xp_ntos_test_driver"); }

class LoaderTest : public KernelTest {
 protected:
  bool DeviceExists() {
    std::u16string name = u"\\Device\\XpTestDriver";
    UNICODE_STRING counted = NtName(name);
    PFILE_OBJECT file = nullptr;
    PDEVICE_OBJECT device = nullptr;
    if (!NT_SUCCESS(IoGetDeviceObjectPointer(&counted, FILE_READ_DATA, &file, &device))) return false;
    ObDereferenceObject(file);
    return true;
  }
};

TEST_F(LoaderTest, LoadsRunsAndReportsLeakedPoolAtUnload) {
  ASSERT_EQ(kernel_->LoadDriver(TestDriver(), u"XpTest", DriverKind::kDevice), STATUS_SUCCESS);
  EXPECT_TRUE(kernel_->DriverRunning(u"xptest"));
  EXPECT_TRUE(DeviceExists());
  const std::vector<std::string> log = kernel_->DebugLog();
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "\nTest driver loading \\Registry\\Machine\\System\\CurrentControlSet\\Services\\XpTest."),
            log.end());
  EXPECT_EQ(kernel_->LoadDriver(TestDriver(), u"XpTest", DriverKind::kDevice), STATUS_IMAGE_ALREADY_LOADED);
  std::vector<PoolLeak> leaks;
  ASSERT_EQ(kernel_->UnloadDriver(u"XpTest", &leaks), STATUS_SUCCESS);
  ASSERT_EQ(leaks.size(), 1u);
  EXPECT_EQ(leaks[0].tag, kKeptTag);
  EXPECT_EQ(leaks[0].allocations, 1u);
  EXPECT_EQ(leaks[0].bytes, 24u);
  EXPECT_FALSE(kernel_->DriverRunning(u"XpTest"));
  EXPECT_FALSE(DeviceExists());
  const std::vector<std::string> after = kernel_->DebugLog();
  EXPECT_TRUE(std::any_of(after.begin(), after.end(),
                          [](const std::string& line) { return line.find("'Keep'") != std::string::npos; }));
}

TEST_F(LoaderTest, FailingDriverEntryLeavesNothingLoaded) {
  registry::KeyId key = 0;
  ASSERT_EQ(registry::OpenPath(u"\\Registry\\Machine", &key), 0);
  registry::KeyId service = 0;
  ASSERT_EQ(registry::CreateKey(key, u"System\\CurrentControlSet\\Services\\XpTest", &service, nullptr), 0);
  ASSERT_EQ(registry::SetValue(service, u"Fail", REG_DWORD, {1, 0, 0, 0}), 0);
  EXPECT_EQ(kernel_->LoadDriver(TestDriver(), u"XpTest", DriverKind::kDevice), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_FALSE(kernel_->DriverRunning(u"XpTest"));
  EXPECT_FALSE(DeviceExists());
  EXPECT_EQ(kernel_->LoadDriver("/nonexistent/driver.sys", u"Missing", DriverKind::kDevice), STATUS_DLL_NOT_FOUND);
}

}  // namespace
}  // namespace xp::ntos::testing
