// The boot fixture of boot_fixture.h.
#include "boot_fixture.h"

#include <fstream>
#include <sstream>

#include "built_programs.h"
#include "host_control.h"
#include "xp/msgina.h"
#include "xp/processes.h"
#include "xp/registry.h"
#include "xp/winlogon.h"

namespace xp::winlogon::testing {
namespace {

namespace fs = std::filesystem;

std::u16string Wide(const std::string& text) { return registry::AnsiToUtf16(text); }

}  // namespace

BootTest::BootTest() {
  const fs::path folder = root() / "drives" / "C" / "Program Files" / "Probe Dir";
  fs::create_directories(folder);
  fs::copy_file(xp::test::BuildProgram("xp_winlogon_probe"), folder / "probe.exe");
  fs::permissions(folder / "probe.exe", fs::perms::owner_all, fs::perm_options::add);
}

BootTest::~BootTest() {
  boot::EndMachineProcesses();
  std::string error;
  if (ntos::host::KernelHostAnswers(root())) ntos::host::StopKernelHost(root(), &error);
  ::unsetenv("XPMACHINE_UI");
}

void BootTest::Answer(const ui::Script& script) { script.Install(root()); }

// The platform's programs (winlogon, userinit, the kernel host) lie in the build's bin folder, not beside the
// test program.
boot::BootResult BootTest::Boot(const boot::BootOptions& options) {
  boot::BootOptions with_programs = options;
  if (with_programs.programs.empty()) {
    with_programs.programs = fs::path(xp::test::BuildProgram("winlogon")).parent_path();
  }
  return boot::Boot(root(), with_programs);
}

std::vector<std::string> BootTest::Journal() const {
  std::ifstream file(root() / "journal.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    const size_t first = line.find(' ');
    const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    lines.push_back(second == std::string::npos ? line : line.substr(second + 1));
  }
  return lines;
}

void BootTest::SetMachineString(const std::string& key, const std::string& name, const std::string& text,
                                bool terminated) {
  registry::KeyId id = 0;
  ASSERT_EQ(registry::CreateKey(registry::kMachineKey, Wide(key), &id, nullptr), ERROR_SUCCESS);
  std::vector<uint8_t> data;
  for (const char16_t c : terminated ? Wide(text) + u'\0' : Wide(text)) {
    data.push_back(static_cast<uint8_t>(c));
    data.push_back(static_cast<uint8_t>(c >> 8));
  }
  ASSERT_EQ(registry::SetValue(id, Wide(name), REG_SZ, data), ERROR_SUCCESS);
}

std::optional<std::string> BootTest::MachineString(const std::string& key, const std::string& name) const {
  registry::KeyId id = 0;
  registry::Value value;
  if (registry::OpenKey(registry::kMachineKey, Wide(key), &id) != ERROR_SUCCESS ||
      registry::QueryValue(id, Wide(name), &value) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return registry::Utf16ToAnsi(registry::StoredText(value));
}

void LogOn(ui::Script& script, const std::string& user, const std::string& password) {
  script.CtrlAltDel(kWelcomeScreen);
  script.Dialog(msgina::kLogonDialog, "Log On to Windows")
      .Type(msgina::kLogonUserName, user)
      .Type(msgina::kLogonPassword, password)
      .Click(IDOK);
}

::testing::AssertionResult InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
  auto at = lines.begin();
  for (const std::string& line : expected) {
    at = std::find(at, lines.end(), line);
    if (at == lines.end()) {
      std::ostringstream journal;
      for (const std::string& seen : lines) journal << "  " << seen << "\n";
      return ::testing::AssertionFailure() << "\"" << line << "\" missing (or out of order) in:\n" << journal.str();
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

size_t Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

}  // namespace xp::winlogon::testing
