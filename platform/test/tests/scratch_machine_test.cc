// The scratch folder's and machine's hold on this process's environment: what a machine sets for its life, and that
// the variables get back exactly what they held, set or unset, when either goes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "scratch_folder.h"
#include "scratch_machine.h"
#include "xp/ui_script.h"

namespace xp::test {
namespace {

std::optional<std::string> Get(const char* name) {
  const char* value = ::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void Put(const char* name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

constexpr const char* kVariables[] = {"XPMACHINE", "XPMACHINE_CLOCK", "XPMACHINE_UI", "XPMACHINE_USER"};

TEST(ScratchMachineEnvironment, EveryVariableGetsBackWhatItHeld) {
  struct Case {
    const char* what;
    std::optional<std::string> before;
  } cases[] = {{"unset before", std::nullopt}, {"set before", std::string("caller's")}, {"empty", std::string()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* name : kVariables) Put(name, c.before);
    {
      ScratchOptions options;
      options.no_ui = true;
      options.default_user = true;
      const ScratchMachine machine(options);
      EXPECT_EQ(Get("XPMACHINE"), machine.root().string());
      EXPECT_EQ(Get("XPMACHINE_CLOCK"), "virtual");
      EXPECT_EQ(Get("XPMACHINE_UI"), std::nullopt);
      EXPECT_EQ(Get("XPMACHINE_USER"), std::nullopt);
      machine.Play(ui::Script().Comment("a script sets XPMACHINE_UI"));
      EXPECT_NE(Get("XPMACHINE_UI"), std::nullopt);
      ::setenv("XPMACHINE_USER", "User", 1);  // a test that runs as another account for a while
    }
    for (const char* name : kVariables) EXPECT_EQ(Get(name), c.before) << name;
  }
  for (const char* name : kVariables) ::unsetenv(name);
}

TEST(ScratchMachineEnvironment, TheCallersClockUiAndUserStandUnlessAskedOtherwise) {
  ::setenv("XPMACHINE_CLOCK", "real", 1);
  ::setenv("XPMACHINE_UI", "console", 1);
  ::setenv("XPMACHINE_USER", "User", 1);
  {
    ScratchOptions options;
    options.virtual_clock = false;
    const ScratchMachine machine(options);
    EXPECT_EQ(Get("XPMACHINE_CLOCK"), "real");
    EXPECT_EQ(Get("XPMACHINE_UI"), "console");
    EXPECT_EQ(Get("XPMACHINE_USER"), "User");
  }
  EXPECT_EQ(Get("XPMACHINE_CLOCK"), "real");
  EXPECT_EQ(Get("XPMACHINE_UI"), "console");
  EXPECT_EQ(Get("XPMACHINE_USER"), "User");
  ::unsetenv("XPMACHINE_CLOCK");
  ::unsetenv("XPMACHINE_UI");
  ::unsetenv("XPMACHINE_USER");
}

// A test that makes its machines through `xpmachine new` and points XPMACHINE at one of them.
TEST(ScratchFolderEnvironment, TheFolderGoesAndTheVariablesComeBack) {
  ::setenv("XPMACHINE", "caller's", 1);
  ::unsetenv("XPMACHINE_UI");
  std::filesystem::path path;
  {
    const ScratchFolder folder("scratch-test");
    path = folder.path();
    EXPECT_EQ(path.filename().string().rfind("scratch-test-", 0), 0u) << path;
    std::filesystem::create_directories(path / "m" / "drives");
    for (const char* name : kVariables) ::setenv(name, (path / "m").c_str(), 1);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(Get("XPMACHINE"), "caller's");
  EXPECT_EQ(Get("XPMACHINE_UI"), std::nullopt);
  ::unsetenv("XPMACHINE");
  for (const char* name : kVariables) EXPECT_EQ(Get(name), std::nullopt) << name;
}

TEST(ScratchMachineOptions, AMachineWithoutATokenOrRegistryAndItsFolderGoesWithIt) {
  std::filesystem::path root;
  {
    ScratchOptions options;
    options.token_seed = std::nullopt;
    options.fresh_registry = false;
    const ScratchMachine machine(options);
    root = machine.root();
    EXPECT_TRUE(machine.token_id().empty());
    EXPECT_TRUE(std::filesystem::exists(root / "machine.ini"));
  }
  EXPECT_FALSE(std::filesystem::exists(root));
}

TEST(ScratchMachineOptions, AScriptPlaysFromTheStart) {
  ScratchOptions options;
  options.ui_script = ui::Script().Comment("from the start");
  const ScratchMachine machine(options);
  const std::optional<std::string> ui = Get("XPMACHINE_UI");
  ASSERT_TRUE(ui.has_value());
  EXPECT_EQ(ui->rfind("script:", 0), 0u) << *ui;
}

}  // namespace
}  // namespace xp::test
