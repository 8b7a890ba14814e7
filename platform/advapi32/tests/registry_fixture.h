// What every registry conformance test starts from: a scratch machine with an empty registry and an unplugged
// token, the current user unset for its life (so HKCU is Administrator's), and a sentinel last error that the
// registry calls must leave alone.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "scratch_machine.h"
#include "windows.h"

namespace xp::advapi32 {

constexpr DWORD kSentinel = 0xDEADBEEF;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { SetLastError(kSentinel); }
  void TearDown() override {
    EXPECT_EQ(GetLastError(), kSentinel) << "registry calls return their error and leave the last error alone";
  }

  // Opens (making it when missing) a key of HKLM with every right; the test fails if it cannot.
  static HKEY MakeKey(const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS)
        << path;
    return key;
  }

  static LONG SetString(HKEY key, const char* name, const std::string& text, bool with_nul = true) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + (with_nul ? 1 : 0)));
  }

  // Runs `body` in a child process; its result is the child's exit status, or 128 + the signal that ended it.
  static int InChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  test::ScratchMachine machine_{
      test::ScratchOptions{.plug_token = false, .fresh_registry = false, .default_user = true}};
};

}  // namespace xp::advapi32
