// tokenreg run as a program inside a test's machine: the web service running for the machine, the client's
// settings in the registry, the token with the user's password, and a UI script for the user.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "run_program.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/ui_script.h"
#include "xp/usbtoken.h"
#include "xp/websvc.h"

namespace tokenreg::testing {

inline constexpr char kTitle[] = "Tavik Registration";
inline constexpr char kPassword[] = "secret1";
inline constexpr char kServerPath[] = "client.teradolm.test/tavik/";
inline constexpr char kNoServer[] = " -- Could not reach server.  Please try again.";
inline constexpr char kInvalidSession[] = " -- Invalid Session.  Please try again.";

class RegistrationTest : public ::testing::Test {
 protected:
  explicit RegistrationTest(const xp::machine::MachineOptions& options = xp::machine::MachineOptions{},
                            const xp::websvc::Options& web = xp::websvc::Options{});

  // The client's settings as the outside installer writes them, with the SSL switch given.
  static void SetClientSetting(const char* name, const char* value);
  void UseSsl(bool ssl) const { SetClientSetting("SSL", ssl ? "1" : "0"); }

  // Runs tokenreg until it ends with `script` as its user (the script must be played to its end); the exit code.
  int Run(const xp::ui::Script& script);
  // The password typed and OK pressed, as the user does it on the registration form.
  static void Register(xp::ui::Script& script, const std::string& password = kPassword);

  std::vector<std::string> Journal() const;
  // The last text the status line showed.
  std::string Status() const;
  // The addresses the browser was started with.
  std::vector<std::string> BrowserAddresses() const;
  std::string Esn() const;
  uint16_t TokenCounter() const;

  xp::test::ScratchMachine machine_;
  std::unique_ptr<xp::websvc::Server> server_;
};

}  // namespace tokenreg::testing
