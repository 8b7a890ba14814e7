// tokenpass run as a program inside a test's machine, with a UI script for its user; what it showed and what the
// token holds afterwards.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "run_program.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/machine.h"
#include "xp/ui_script.h"
#include "xp/usbtoken.h"

namespace tokenpass::testing {

// The messages of the password program (its title is "Selvanor").
inline constexpr char kTitle[] = "Selvanor";
inline constexpr char kCaption[] = "Quillmarsh Tavik Selvanor";
inline constexpr char kNotDetected[] =
    "Nubo not detected.  Please make sure that your Nubo is securely inserted into the USB port on your computer, "
    "and that the Nubo Driver is correctly installed.";
inline constexpr char kInsertNubo[] = "Please insert your Nubo before proceeding.";
inline constexpr char kAlreadyHasPassword[] =
    "The Nubo you are using already has a password.  The password cannot be overwritten.";
inline constexpr char kNoMatch[] = "The passwords you typed do not match.  Type the new password in both text boxes.";
inline constexpr char kTooShort[] =
    "The password you typed is less than 6 characters.  Type a password with at least 6 characters.";
inline constexpr char kTooLong[] =
    "The password you typed is more than 63 characters.  Type a password with at most 63 characters.";
inline constexpr char kChineseTooLong[] =
    "The password you typed is too long. Type a password with at most 31 Chinese or 62 English characters.";
inline constexpr char kNoTokenio[] =
    "The tokenio.dll file cannot be found.  Please install another Teradolm product first so that the necessary "
    "Nubo Driver will be present.";
inline constexpr char kNoCommunication[] =
    "There was an error communicating with the Nubo.  Please ensure all Teradolm components are installed "
    "correctly and functional.";
inline constexpr char kRegisterTitle[] = "Register Your Password";
inline constexpr char kFirstPromptStart[] =
    "If you forget your new password, your data can only be recovered if your new password is registered.\r\n";

// The two registration boxes with the texts of one variant: "an" or "and" Internet connection, "NOT TO" or "TO
// NOT" register.
struct PromptTexts {
  std::string first;
  std::string second;
};
PromptTexts PromptOf(bool and_connection, bool to_not);
// The boxes of a registration prompt answered: the first, and after a No the second.
void AnswerPrompt(xp::ui::Script& script, const PromptTexts& texts, int first, int second = 0);
// `text` `count` times over.
std::string Repeat(const std::string& text, size_t count);

class TokenpassTest : public ::testing::Test {
 protected:
  explicit TokenpassTest(const xp::machine::MachineOptions& options = xp::machine::MachineOptions{});

  // Runs tokenpass until it ends with `script` as its user; the script must be played to its end.
  int Run(const xp::ui::Script& script);
  // The UI journal lines that show the route: forms opened and unloaded, boxes, and the user's actions.
  std::vector<std::string> Route() const;
  std::vector<std::string> Journal() const;

  // The token's password as its block holds it (the characters between the 0x00 and the first 0xFF), and its
  // count of failed attempts.
  std::string TokenPassword() const;
  uint16_t TokenCounter() const;
  // Gives the token a password through the token library, as another program would.
  void SetTokenPassword(const std::string& password) const;
  // The number (1-based, counted from now) of the `occurrence`th request of a run of `script` that `is_it`, as a
  // run on a twin machine (same token, password and counter) shows it; 0 when the run makes none. Faults armed by
  // that number then strike the same request of the test's own run.
  uint32_t RequestNumber(const xp::ui::Script& script, const std::function<bool(const xp::usbtoken::Request&)>& is_it,
                         size_t occurrence = 1) const;
  // A write of `command` to the token's command register.
  static std::function<bool(const xp::usbtoken::Request&)> CommandWrite(uint8_t command);
  // A stand-in registration program at the install folder's tokenreg.exe of `machine`, which notes in the machine
  // folder that it ran.
  static void PutRegistrationStub(const std::filesystem::path& machine);
  static bool RegistrationRan(const std::filesystem::path& machine);

  xp::machine::MachineOptions options_;
  xp::test::ScratchMachine machine_;
};

}  // namespace tokenpass::testing
