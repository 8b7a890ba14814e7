// The tokenreg test fixture.
#include "registration_fixture.h"

#include <cstring>
#include <fstream>
#include <iostream>

#include "machine_setting.h"
#include "tokenio.h"
#include "ui_journal.h"
#include "xp/machine.h"
#include "xp/ui.h"

namespace tokenreg::testing {

RegistrationTest::RegistrationTest(const xp::machine::MachineOptions& options, const xp::websvc::Options& web)
    : machine_(xp::test::ScratchOptions{.machine = options}) {
  // A stalled service fails within seconds.
  xp::test::SetMachineSetting(machine_.root(), "wininet.timeout_ms", "1500");
  server_ = std::make_unique<xp::websvc::Server>(web);
  SetClientSetting("ServerPath", kServerPath);
  SetClientSetting("SSL", "0");
  SetClientSetting("testing", "0");
  EXPECT_EQ(BurnPwd(kPassword), 1);
}

void RegistrationTest::SetClientSetting(const char* name, const char* value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(std::strlen(value) + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

int RegistrationTest::Run(const xp::ui::Script& script) {
  script.Install(machine_.root());
  const xp::test::ProgramRun run =
      xp::test::RunProgram(xp::test::BuildProgram("tokenreg"), {}, xp::test::Stderr::kApart);
  if (run.exit_code == xp::ui::kUiFailureExitCode) std::cerr << run.error;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u) << "the script was not played to its end";
  return run.exit_code;
}

void RegistrationTest::Register(xp::ui::Script& script, const std::string& password) {
  script.Dialog("frmRegister", kTitle).Type("txtPwd", password).Click("cmdAuthenticate");
}

std::vector<std::string> RegistrationTest::Journal() const { return xp::test::UiJournal(machine_.root()); }

std::string RegistrationTest::Status() const {
  const std::string prefix = "dialog frmRegister control lblStatus static ";
  std::string status;
  for (const std::string& line : Journal()) {
    if (line.starts_with(prefix)) status = line.substr(prefix.size());
  }
  return status;
}

std::vector<std::string> RegistrationTest::BrowserAddresses() const {
  std::ifstream in(machine_.root() / "journal.log");
  std::vector<std::string> addresses;
  for (std::string line; std::getline(in, line);) {
    const size_t at = line.find(" browser opens ");
    if (at != std::string::npos) addresses.push_back(line.substr(at + 15));
  }
  return addresses;
}

std::string RegistrationTest::Esn() const { return xp::usbtoken::List(machine_.root()).front().esn; }

uint16_t RegistrationTest::TokenCounter() const {
  return xp::usbtoken::Inspect(machine_.root(), machine_.token_id())->counter;
}

}  // namespace tokenreg::testing
