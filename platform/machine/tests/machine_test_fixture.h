// A fresh machine in a temporary folder for the machine library's own tests, entered through XPMACHINE.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "xp/machine.h"

namespace xp::machine {

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/xp-machine-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    Create(root_, options_);
    ::setenv("XPMACHINE", root_.c_str(), 1);
    ::setenv("XPMACHINE_CLOCK", "virtual", 1);
  }
  void TearDown() override {
    ::unsetenv("XPMACHINE");
    ::unsetenv("XPMACHINE_CLOCK");
    std::filesystem::remove_all(root_);
  }

  std::filesystem::path root_;
  MachineOptions options_;
};

}  // namespace xp::machine
