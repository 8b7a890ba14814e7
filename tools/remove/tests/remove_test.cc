// Remove on a machine whose device database holds its own devices, its token and a few fixture devices: which
// device a hardware-ID argument removes, what is printed and the exit code, for the match rule, the usage errors,
// a limited account and a failure of each SetupAPI call.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>

#include "built_programs.h"
#include "run_program.h"
#include "scratch_machine.h"
#include "winreg.h"
#include "xp/faults.h"
#include "xp/pnp.h"
#include "xp/registry.h"

namespace {

// The fixture devices, in the device list's order: after the machine's USB root hub, before the token.
const xp::pnp::DeviceInstance kFirst1234 = {"USB\\VID_1234&PID_0001\\1",
                                            {"USB\\VID_1234&PID_0001&REV_0100", "USB\\VID_1234&PID_0001"},
                                            "USB",
                                            "",
                                            "",
                                            "",
                                            true};
const xp::pnp::DeviceInstance kSecond1234 = {
    "USB\\VID_1234&PID_0002\\1", {"USB\\VID_1234&PID_0002"}, "USB", "", "", "", true};
// An ID list of 121 bytes: read again with a larger buffer.
const xp::pnp::DeviceInstance kLongList = {
    "USB\\VID_5678&PID_0001\\1",
    {"USB\\VID_5678&PID_0001&REV_0100&MI_00&CLASS_03", "USB\\VID_5678&PID_0001&REV_0100&MI_01&CLASS_03",
     "USB\\VID_5678&PID_0001&MI_02"},
    "USB",
    "",
    "",
    "",
    true};

struct Case {
  const char* name;
  std::vector<std::string> arguments;
  std::string output;
  int exit_code;
  std::string removed;  // the instance gone afterwards; empty: none
  std::vector<xp::machine::Fault> faults = {};
  const char* account = nullptr;
};

// Test names show the case's description.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

xp::machine::Fault Fails(const char* operation, uint32_t error, uint32_t nth = 1) {
  xp::machine::Fault fault;
  fault.operation = operation;
  fault.error = error;
  fault.nth = nth;
  return fault;
}

const std::string kAccessDenied = "Access is denied.\r\n";

const Case kCases[] = {
    {"a lower-case prefix of an ID removes the first device that has it, past a device without IDs",
     {"usb\\vid_1234"},
     "Found! [USB\\VID_1234&PID_0001&REV_0100]\n",
     0,
     kFirst1234.id},
    {"an ID that is a prefix of the argument matches too",
     {"USB\\VID_1234&PID_0002&REV_0100"},
     "Found! [USB\\VID_1234&PID_0002]\n",
     0,
     kSecond1234.id},
    {"an ID past the first 100 bytes of its list",
     {"USB\\VID_5678&PID_0001&MI_02"},
     "Found! [USB\\VID_5678&PID_0001&MI_02]\n",
     0,
     kLongList.id},
    {"the token's own device",
     {"USB\\VID_7A5C&PID_0C01"},
     "Found! [USB\\VID_7A5C&PID_0C01&REV_0100]\n",
     0,
     "USB\\VID_7A5C&PID_0C01\\token1"},
    {"no device matches", {"USB\\VID_9999"}, "", 1, ""},
    {"no argument", {}, "usage: remove <Hardware_ID>\n", 1, ""},
    {"an empty argument would match any device", {""}, "usage: remove <Hardware_ID>\n", 1, ""},
    {"a limited account may not remove devices",
     {"usb\\vid_1234"},
     "Found! [USB\\VID_1234&PID_0001&REV_0100]\nCallClassInstaller(REMOVE) FAILURE: " + kAccessDenied + "\n",
     1,
     "",
     {},
     "User"},
    {"the device list cannot be made",
     {"usb\\vid_1234"},
     "GetClassDevs(All Present Devices) FAILURE: " + kAccessDenied + "\n",
     1,
     "",
     {Fails("SetupDiGetClassDevsA", ERROR_ACCESS_DENIED)}},
    {"the walk fails on the way",
     {"USB\\VID_9999"},
     "EnumDeviceInfo FAILURE: A device attached to the system is not functioning.\r\n\n",
     1,
     "",
     {Fails("SetupDiEnumDeviceInfo", ERROR_GEN_FAILURE, 3)}},
    {"a property read fails",
     {"usb\\vid_1234"},
     "GetDeviceRegistryProperty FAILURE: " + kAccessDenied + "\n",
     1,
     "",
     {Fails("SetupDiGetDeviceRegistryPropertyA", ERROR_ACCESS_DENIED, 2)}},
    {"a device whose IDs are unreadable as no IDs is skipped",
     {"ACPI\\PNP0303"},
     "",
     1,
     "",
     {Fails("SetupDiGetDeviceRegistryPropertyA", ERROR_INVALID_DATA)}},
    {"the class installer fails with a code the system has no text for",
     {"usb\\vid_1234"},
     "Found! [USB\\VID_1234&PID_0001&REV_0100]\nCallClassInstaller(REMOVE) FAILURE: (0xe000020b)\n",
     1,
     "",
     {Fails("SetupDiCallClassInstaller", ERROR_NO_SUCH_DEVINST)}},
};

class RemoveTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    std::vector<xp::pnp::DeviceInstance> devices;
    ASSERT_EQ(xp::pnp::ListDevices(&devices), ERROR_SUCCESS);  // the machine's own devices and its token
    for (const xp::pnp::DeviceInstance& device : {kFirst1234, kSecond1234, kLongList}) {
      ASSERT_EQ(xp::pnp::AddDevice(device), ERROR_SUCCESS);
    }
    before_ = Ids();
  }
  void TearDown() override { ::unsetenv("XPMACHINE_USER"); }

  static std::vector<std::string> Ids() {
    std::vector<xp::pnp::DeviceInstance> devices;
    EXPECT_EQ(xp::pnp::ListDevices(&devices), ERROR_SUCCESS);
    std::vector<std::string> ids;
    for (const xp::pnp::DeviceInstance& device : devices) ids.push_back(device.id);
    return ids;
  }

  const xp::test::ScratchMachine machine_;
  std::vector<std::string> before_;
};

TEST_P(RemoveTest, RemovesTheFirstMatchingDeviceOnly) {
  const Case& c = GetParam();
  for (const xp::machine::Fault& fault : c.faults) xp::machine::ArmFault(fault);
  if (c.account != nullptr) ::setenv("XPMACHINE_USER", c.account, 1);
  const xp::test::ProgramRun run =
      xp::test::RunProgram(xp::test::BuildProgram("remove_tool"), c.arguments, xp::test::Stderr::kApart);
  ::unsetenv("XPMACHINE_USER");
  xp::machine::ClearFaults();
  EXPECT_EQ(run.output, c.output);
  EXPECT_EQ(run.exit_code, c.exit_code);
  std::vector<std::string> expected = before_;
  if (!c.removed.empty()) expected.erase(std::find(expected.begin(), expected.end(), c.removed));
  EXPECT_EQ(Ids(), expected);
}

INSTANTIATE_TEST_SUITE_P(Arguments, RemoveTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return "Case" + std::to_string(info.index);
                         });

// A list written without its closing empty string, exactly filling the first read's 100 bytes: the match stays
// within the data.
TEST(Remove, AnIdListWithoutItsEndIsReadWithinItsSize) {
  const xp::test::ScratchMachine machine;
  std::vector<xp::pnp::DeviceInstance> devices;
  ASSERT_EQ(xp::pnp::ListDevices(&devices), ERROR_SUCCESS);
  ASSERT_EQ(xp::pnp::AddDevice({"ROOT\\UNCLOSED\\0000", {"placeholder"}, "System", "", "", "", true}), ERROR_SUCCESS);
  const std::string id = "ROOT\\UNCLOSED&" + std::string(100 - 14, 'X');
  ASSERT_EQ(id.size(), 100u);
  xp::registry::KeyId key = 0;
  ASSERT_EQ(
      xp::registry::OpenKey(xp::registry::kMachineKey, u"SYSTEM\\CurrentControlSet\\Enum\\ROOT\\UNCLOSED\\0000", &key),
      ERROR_SUCCESS);
  ASSERT_EQ(xp::registry::SetValue(
                key, u"HardwareID", REG_MULTI_SZ,
                xp::registry::AnsiDataToStored(REG_MULTI_SZ, reinterpret_cast<const BYTE*>(id.data()), id.size())),
            ERROR_SUCCESS);
  const xp::test::ProgramRun run = xp::test::RunProgram(xp::test::BuildProgram("remove_tool"), {"root\\unclosed"});
  EXPECT_EQ(run.output, "Found! [" + id + "]\n");
  EXPECT_EQ(run.exit_code, 0);
}

}  // namespace
