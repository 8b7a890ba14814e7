// Finding the machine: XPMACHINE is honoured, followed when it changes, and refused loudly when it names no machine.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "machine_test_fixture.h"

namespace xp::machine {
namespace {

using RootTest = MachineTest;

TEST_F(RootTest, NamesTheFolderOfXpmachineWithoutTrailingSeparator) {
  ::setenv("XPMACHINE", (root_.string() + "/").c_str(), 1);
  EXPECT_TRUE(Present());
  EXPECT_EQ(Root(), root_);
}

TEST_F(RootTest, FollowsXpmachineWhenItChanges) {
  const std::filesystem::path second = root_ / "second";
  Create(second);
  const std::filesystem::path& first_root = Root();
  EXPECT_EQ(first_root, root_);
  ::setenv("XPMACHINE", second.c_str(), 1);
  EXPECT_EQ(Root(), second);
}

TEST_F(RootTest, PresentIsFalseWithoutAMachine) {
  ::setenv("XPMACHINE", (root_ / "drives").c_str(), 1);
  EXPECT_FALSE(Present());
  ::unsetenv("XPMACHINE");
  EXPECT_FALSE(Present());
}

// Not a fixture: a death test runs again in a child that dies, and would leave a fixture's folder behind.
TEST(RootDeath, AbortsWithAClearMessageOutsideAMachine) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ::unsetenv("XPMACHINE");
  EXPECT_DEATH(Root(), "XPMACHINE is not set");
  ::setenv("XPMACHINE", "/", 1);
  EXPECT_DEATH(Root(), "XPMACHINE=/ is not a machine folder");
  ::unsetenv("XPMACHINE");
}

}  // namespace
}  // namespace xp::machine
