// Starting a driver from its service key: the forms an ImagePath takes, the default image, and the paths that
// must not load (missing, outside the drives, not a driver).
#include <gtest/gtest.h>

#include <filesystem>

#include "built_programs.h"
#include "scratch_machine.h"
#include "xp/ntos.h"
#include "xp/registry.h"

namespace xp::ntos::host::testing {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Text(const std::u16string& text) {
  std::vector<uint8_t> data;
  for (char16_t c : text) data.insert(data.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
  data.insert(data.end(), {0, 0});
  return data;
}

class ServiceImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Drive("WINDOWS/system32/drivers"));
    fs::copy_file(xp::test::BuildProgram("xp_ntos_test_driver"), Drive("WINDOWS/system32/drivers/XpTest.sys"));
    kernel_ = std::make_unique<Kernel>(KernelOptions{machine_.root()});
  }

  fs::path Drive(const std::string& relative) const { return machine_.root() / "drives" / "C" / relative; }

  // The service key XpTest with these values; an empty image path leaves ImagePath out.
  void Describe(DWORD type, const std::u16string& image_path, DWORD image_type = REG_EXPAND_SZ) {
    registry::KeyId services = 0;
    ASSERT_EQ(registry::CreateKey(registry::kMachineKey, u"SYSTEM\\CurrentControlSet\\Services", &services, nullptr),
              ERROR_SUCCESS);
    registry::DeleteKey(services, u"XpTest");
    registry::KeyId key = 0;
    ASSERT_EQ(registry::CreateKey(services, u"XpTest", &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(registry::SetValue(key, u"Type", REG_DWORD, {static_cast<uint8_t>(type), 0, 0, 0}), ERROR_SUCCESS);
    if (!image_path.empty()) {
      ASSERT_EQ(registry::SetValue(key, u"ImagePath", image_type, Text(image_path)), ERROR_SUCCESS);
    }
  }

  xp::test::ScratchMachine machine_;
  std::unique_ptr<Kernel> kernel_;
};

TEST_F(ServiceImageTest, LoadsTheImageEveryPathFormNames) {
  const std::u16string forms[] = {
      u"",  // no ImagePath: System32\drivers\<service>.sys
      u"System32\\drivers\\XpTest.sys",
      u"\\SystemRoot\\system32\\DRIVERS\\xptest.sys",
      u"%SystemRoot%\\System32\\drivers\\XpTest.sys",
      u"\\??\\C:\\WINDOWS\\system32\\drivers\\XpTest.sys",
      u"c:\\windows\\system32\\drivers\\xptest.SYS",
  };
  for (const std::u16string& form : forms) {
    SCOPED_TRACE(registry::Utf16ToUtf8(form));
    Describe(1, form);
    ASSERT_EQ(kernel_->LoadService(u"XpTest"), STATUS_SUCCESS);
    EXPECT_TRUE(kernel_->DriverRunning(u"XpTest"));
    EXPECT_EQ(kernel_->Driver(u"XpTest")->DriverName.Length, sizeof(u"\\Driver\\XpTest") - sizeof(char16_t));
    EXPECT_EQ(kernel_->UnloadService(u"XpTest"), STATUS_SUCCESS);
  }
}

TEST_F(ServiceImageTest, FileSystemDriversAreNamedUnderFileSystem) {
  Describe(2, u"System32\\drivers\\XpTest.sys");
  ASSERT_EQ(kernel_->LoadService(u"xptest"), STATUS_SUCCESS);
  const std::u16string name(kernel_->Driver(u"XpTest")->DriverName.Buffer,
                            kernel_->Driver(u"XpTest")->DriverName.Length / sizeof(char16_t));
  EXPECT_EQ(name, u"\\FileSystem\\XpTest");
}

TEST_F(ServiceImageTest, RefusesWhatIsNoDriverOnTheDrives) {
  fs::create_symlink(xp::test::BuildProgram("xp_ntos_test_driver"), Drive("WINDOWS/system32/drivers/linked.sys"));
  const struct {
    DWORD type;
    std::u16string image_path;
    NTSTATUS status;
  } rows[] = {
      {1, u"System32\\drivers\\missing.sys", STATUS_OBJECT_NAME_NOT_FOUND},
      {1, u"System32\\drivers\\linked.sys", STATUS_OBJECT_NAME_NOT_FOUND},
      {1, u"System32\\..\\system32\\drivers\\XpTest.sys", STATUS_OBJECT_NAME_INVALID},
      {1, u"D:\\XpTest.sys", STATUS_OBJECT_NAME_NOT_FOUND},
      {1, u"\\Device\\HarddiskVolume1\\XpTest.sys", STATUS_OBJECT_PATH_SYNTAX_BAD},
      {0x10, u"System32\\drivers\\XpTest.sys", STATUS_INVALID_PARAMETER},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(registry::Utf16ToUtf8(row.image_path));
    Describe(row.type, row.image_path);
    EXPECT_EQ(kernel_->LoadService(u"XpTest"), row.status);
    EXPECT_FALSE(kernel_->DriverRunning(u"XpTest"));
  }
  EXPECT_EQ(kernel_->LoadService(u"NoSuchService"), STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(ServiceImageTest, TheKernelsOwnDriversCannotBeUnloadedAsServices) {
  EXPECT_EQ(kernel_->UnloadService(u"ModelFs"), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(kernel_->UnloadService(u"Disk"), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_TRUE(kernel_->DriverRunning(u"ModelFs"));
}

}  // namespace
}  // namespace xp::ntos::host::testing
