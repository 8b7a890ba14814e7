// The tokenpass test fixture.
#include "program_fixture.h"

#include <filesystem>
#include <fstream>
#include <iostream>

#include "run_program.h"
#include "tokenio.h"
#include "ui_journal.h"
#include "xp/ui.h"

namespace tokenpass::testing {

PromptTexts PromptOf(bool and_connection, bool to_not) {
  const std::string connection = and_connection ? "and" : "an";
  const std::string choose = to_not ? "TO NOT" : "NOT TO";
  return {std::string(kFirstPromptStart) + "Password registration requires " + connection +
              " Internet connection.\r\n\r\nRegister Now?",
          "!!WARNING!!\r\nIF YOU CHOOSE " + choose +
              " REGISTER YOUR PASSWORD, YOUR DATA WILL BE PERMANENTLY LOST IF YOUR PASSWORD IS FORGOTTEN!\r\n\r\n"
              "REGISTER NOW?"};
}

TokenpassTest::TokenpassTest(const xp::machine::MachineOptions& options)
    : options_(options), machine_(xp::test::ScratchOptions{.machine = options}) {}

int TokenpassTest::Run(const xp::ui::Script& script) {
  script.Install(machine_.root());
  const xp::test::ProgramRun run =
      xp::test::RunProgram(xp::test::BuildProgram("tokenpass"), {}, xp::test::Stderr::kApart);
  if (run.exit_code == xp::ui::kUiFailureExitCode) std::cerr << run.error;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u) << "the script was not played to its end";
  return run.exit_code;
}

std::vector<std::string> TokenpassTest::Journal() const { return xp::test::UiJournal(machine_.root()); }

std::vector<std::string> TokenpassTest::Route() const {
  std::vector<std::string> route;
  for (const std::string& line : Journal()) {
    const bool shown = line.starts_with("dialog ") && line.ends_with(" open");
    const bool unloaded = line.starts_with("dialog ") && line.ends_with(" unload");
    const bool action = line.starts_with("dialog ") && line.find(": ") != std::string::npos;
    if (shown || unloaded || action || line.starts_with("box ") || line.starts_with("token ")) {
      route.push_back(shown ? line.substr(0, line.find(' ', 7)) + " open" : line);
    }
  }
  return route;
}

std::string TokenpassTest::TokenPassword() const {
  const auto snapshot = xp::usbtoken::Inspect(machine_.root(), machine_.token_id());
  std::string password;
  for (size_t i = 1; i < snapshot->password_block.size() && snapshot->password_block[i] != 0xFF; ++i) {
    password.push_back(static_cast<char>(snapshot->password_block[i]));
  }
  return password;
}

uint16_t TokenpassTest::TokenCounter() const {
  return xp::usbtoken::Inspect(machine_.root(), machine_.token_id())->counter;
}

void TokenpassTest::SetTokenPassword(const std::string& password) const {
  ASSERT_EQ(BurnPwd(password.c_str()), 1);
}

uint32_t TokenpassTest::RequestNumber(const xp::ui::Script& script,
                                      const std::function<bool(const xp::usbtoken::Request&)>& is_it,
                                      size_t occurrence) const {
  const std::string password = TokenPassword();
  const uint16_t counter = TokenCounter();
  xp::test::ScratchMachine twin(xp::test::ScratchOptions{.machine = options_});
  if (!password.empty()) {
    EXPECT_EQ(BurnPwd(password.c_str()), 1);
  }
  xp::usbtoken::SetCounter(twin.root(), twin.token_id(), counter);
  xp::usbtoken::ClearRequestLog(twin.root(), twin.token_id());
  script.Install(twin.root());
  // The twin's run may leave the test's route once the request has passed: only its log counts.
  xp::test::RunProgram(xp::test::BuildProgram("tokenpass"), {}, xp::test::Stderr::kApart);
  const std::vector<xp::usbtoken::Request> log = xp::usbtoken::RequestLog(twin.root(), twin.token_id());
  size_t seen = 0;
  for (size_t i = 0; i < log.size(); ++i) {
    if (is_it(log[i]) && ++seen == occurrence) return static_cast<uint32_t>(i + 1);
  }
  return 0;
}

std::function<bool(const xp::usbtoken::Request&)> TokenpassTest::CommandWrite(uint8_t command) {
  return [command](const xp::usbtoken::Request& request) {
    return request.code == xp::usbtoken::kWriteRegister && request.reg == 0x30 &&
           request.data == std::vector<uint8_t>{command};
  };
}

void TokenpassTest::PutRegistrationStub(const std::filesystem::path& machine) {
  const std::filesystem::path stub = machine / "drives/C/Program Files/Quillmarsh/Tavik/XP/tokenreg.exe";
  std::filesystem::create_directories(stub.parent_path());
  std::ofstream(stub) << "#!/bin/sh\ntouch \"$XPMACHINE/tokenreg-ran\"\n";
  std::filesystem::permissions(stub, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
}

bool TokenpassTest::RegistrationRan(const std::filesystem::path& machine) {
  return std::filesystem::exists(machine / "tokenreg-ran");
}

void AnswerPrompt(xp::ui::Script& script, const PromptTexts& texts, int first, int second) {
  script.ExpectBox(kRegisterTitle, texts.first, MB_YESNO | MB_ICONINFORMATION).Answer(first);
  if (first == IDNO) script.ExpectBox(kRegisterTitle, texts.second, MB_YESNO | MB_ICONEXCLAMATION).Answer(second);
}

std::string Repeat(const std::string& text, size_t count) {
  std::string repeated;
  for (size_t i = 0; i < count; ++i) repeated += text;
  return repeated;
}

}  // namespace tokenpass::testing
