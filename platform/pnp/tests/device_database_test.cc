// The device database as a machine's life goes: a fresh machine's devices and its token, unplug and replug, the
// token's device removed and detected again at its next plug, with and without its driver file.
#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <filesystem>

#include "dbt.h"
#include "scratch_machine.h"
#include "winuser.h"
#include "xp/pnp.h"
#include "xp/usbtoken.h"
#include "xp/window_broadcasts.h"

namespace {

namespace fs = std::filesystem;

class DeviceDatabaseTest : public ::testing::Test {
 protected:
  std::string TokenInstanceId() const { return std::string(xp::pnp::kTokenDevice) + "\\" + machine_.token_id(); }

  std::vector<xp::pnp::DeviceInstance> Devices() {
    std::vector<xp::pnp::DeviceInstance> devices;
    EXPECT_EQ(xp::pnp::ListDevices(&devices), ERROR_SUCCESS);
    return devices;
  }
  std::optional<xp::pnp::DeviceInstance> Find(const std::string& id) {
    for (const xp::pnp::DeviceInstance& device : Devices()) {
      if (device.id == id) return device;
    }
    return std::nullopt;
  }
  std::vector<std::string> TokenPaths() {
    std::vector<std::string> paths;
    EXPECT_EQ(xp::pnp::PresentInterfaces(xp::usbtoken::kInterfaceClass, &paths), ERROR_SUCCESS);
    return paths;
  }
  void Replug() {
    ASSERT_TRUE(xp::usbtoken::Unplug(machine_.root(), machine_.token_id()));
    ASSERT_TRUE(xp::usbtoken::Plug(machine_.root(), machine_.token_id()));
  }
  fs::path DriverFile() const { return machine_.root() / "drives/C/WINDOWS/system32/drivers/nubousb.sys"; }

  const xp::test::ScratchMachine machine_;
};

TEST_F(DeviceDatabaseTest, AFreshMachineHasItsOwnDevicesAndItsTokenWithItsInterface) {
  const std::vector<xp::pnp::DeviceInstance> devices = Devices();
  ASSERT_GE(devices.size(), 3u);
  EXPECT_TRUE(std::any_of(devices.begin(), devices.end(), [](const auto& d) { return d.hardware_ids.empty(); }))
      << "some of the machine's own devices have no hardware IDs";
  const std::optional<xp::pnp::DeviceInstance> token = Find(TokenInstanceId());
  ASSERT_TRUE(token);
  EXPECT_EQ(token->hardware_ids,
            (std::vector<std::string>{"USB\\VID_7A5C&PID_0C01&REV_0100", "USB\\VID_7A5C&PID_0C01"}));
  EXPECT_TRUE(token->present);
  EXPECT_EQ(TokenPaths(), (std::vector<std::string>{xp::usbtoken::InterfacePath(machine_.token_id())}));
  EXPECT_TRUE(std::is_sorted(devices.begin(), devices.end(), [](const auto& a, const auto& b) {
    return ::strcasecmp(a.id.c_str(), b.id.c_str()) < 0;
  }));
}

TEST_F(DeviceDatabaseTest, AnUnpluggedTokenKeepsItsInstanceButIsNotPresent) {
  ASSERT_TRUE(Find(TokenInstanceId()));
  ASSERT_TRUE(xp::usbtoken::Unplug(machine_.root(), machine_.token_id()));
  const std::optional<xp::pnp::DeviceInstance> token = Find(TokenInstanceId());
  ASSERT_TRUE(token);
  EXPECT_FALSE(token->present);
  EXPECT_TRUE(TokenPaths().empty());
  ASSERT_TRUE(xp::usbtoken::Plug(machine_.root(), machine_.token_id()));
  EXPECT_EQ(TokenPaths().size(), 1u);
}

TEST_F(DeviceDatabaseTest, ARemovedTokenIsGoneUntilItIsPluggedInAgainAndTheWindowsHearIt) {
  ASSERT_EQ(TokenPaths().size(), 1u);
  const uint64_t cursor = xp::machine::BroadcastCursor();
  ASSERT_EQ(xp::pnp::RemoveDevice(TokenInstanceId()), ERROR_SUCCESS);
  const std::vector<xp::machine::WindowBroadcast> heard = xp::machine::BroadcastsAfter(cursor);
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].message, static_cast<uint32_t>(WM_DEVICECHANGE));
  EXPECT_EQ(heard[0].wparam, static_cast<uint64_t>(DBT_DEVNODES_CHANGED));

  EXPECT_FALSE(Find(TokenInstanceId()));
  EXPECT_TRUE(TokenPaths().empty()) << "still plugged in, but no longer in the device tree";
  EXPECT_EQ(xp::pnp::UndetectedTokens(), (std::vector<std::string>{machine_.token_id()}));
  EXPECT_EQ(xp::pnp::RemoveDevice(TokenInstanceId()), static_cast<LONG>(ERROR_NO_SUCH_DEVINST));

  Replug();
  EXPECT_TRUE(Find(TokenInstanceId()));
  EXPECT_EQ(TokenPaths().size(), 1u);
  EXPECT_TRUE(xp::pnp::UndetectedTokens().empty());
}

TEST_F(DeviceDatabaseTest, WithoutItsDriverFileAReDetectedTokenHasNoInterfaceUntilTheFileIsBackAndItIsReplugged) {
  ASSERT_EQ(TokenPaths().size(), 1u);
  ASSERT_EQ(xp::pnp::RemoveDevice(TokenInstanceId()), ERROR_SUCCESS);
  ASSERT_TRUE(fs::remove(DriverFile()));
  Replug();
  EXPECT_TRUE(Find(TokenInstanceId())) << "the device is detected";
  EXPECT_TRUE(TokenPaths().empty()) << "but its driver is missing";
  xp::usbtoken::InstallDriverFile(machine_.root());
  EXPECT_TRUE(TokenPaths().empty()) << "a driver file installed meanwhile is used at the next plug";
  Replug();
  EXPECT_EQ(TokenPaths().size(), 1u);
}

TEST_F(DeviceDatabaseTest, HardwareIdsAreReturnedAsStoredAndADeviceWithoutThemHasNone) {
  ASSERT_FALSE(Devices().empty());
  std::vector<uint8_t> data;
  EXPECT_EQ(xp::pnp::HardwareIdData("ROOT\\LEGACY_BEEP\\0000", &data), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(xp::pnp::HardwareIdData("ROOT\\NO_SUCH\\0000", &data), static_cast<LONG>(ERROR_NO_SUCH_DEVINST));
  ASSERT_EQ(xp::pnp::AddDevice({"ROOT\\TEST\\0001", {"A\\B", "C"}, "System", "", "", "", true}), ERROR_SUCCESS);
  ASSERT_EQ(xp::pnp::HardwareIdData("root\\test\\0001", &data), ERROR_SUCCESS);
  EXPECT_EQ(std::string(data.begin(), data.end()), std::string("A\\B\0C\0\0", 7));
}

}  // namespace
