// A scratch machine to boot: the probe program on its drive, the UI script of the test, the journal read back, and
// the kernel host and the machine's processes ended when the test is over.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scratch_machine.h"
#include "windows.h"
#include "xp/boot.h"
#include "xp/ui_script.h"

namespace xp::winlogon::testing {

// Where the probe program lies on the machine: a folder with a blank in its name, as the install folder has.
inline constexpr char kProbe[] = "C:\\Program Files\\Probe Dir\\probe.exe";

class BootTest : public ::testing::Test {
 protected:
  BootTest();
  ~BootTest() override;

  const std::filesystem::path& root() const { return machine_.root(); }
  // Installs `script` as the UI script of this test and of the machine's processes.
  void Answer(const ui::Script& script);
  boot::BootResult Boot(const boot::BootOptions& options = {});
  // The journal's lines, without their clock and pid.
  std::vector<std::string> Journal() const;
  // Sets HKLM value `name` of `key` to `text`: REG_SZ with its NUL, or without it as setRunOnceKey stores one.
  void SetMachineString(const std::string& key, const std::string& name, const std::string& text,
                        bool terminated = true);
  std::optional<std::string> MachineString(const std::string& key, const std::string& name) const;

 private:
  test::ScratchMachine machine_;
};

// Script steps: the welcome screen's keys, and the MSGINA stand-in's logon dialog filled in and confirmed.
void LogOn(ui::Script& script, const std::string& user, const std::string& password);

// The elements of `lines`, in order, each found after the one before it; the first missing one is reported.
::testing::AssertionResult InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected);
// How many lines equal `line`.
size_t Count(const std::vector<std::string>& lines, const std::string& line);

}  // namespace xp::winlogon::testing
