// The machine clock: the virtual clock moves only by Sleep, exactly, across concurrent sleepers; the real clock
// counts from the machine's creation.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "machine_test_fixture.h"

namespace xp::machine {
namespace {

using ClockTest = MachineTest;

TEST_F(ClockTest, VirtualClockAdvancesByExactlyTheSleptTime) {
  ASSERT_TRUE(VirtualClock());
  EXPECT_EQ(NowMs(), 0u);
  for (const uint32_t ms : {200u, 2000u, 0u, 1800u}) SleepMs(ms);
  EXPECT_EQ(NowMs(), 4000u);
  EXPECT_EQ(NowMs(), 4000u) << "reading must not move the clock";
}

TEST_F(ClockTest, ConcurrentSleepersLoseNoTime) {
  std::vector<std::thread> sleepers;
  for (int t = 0; t < 8; ++t) {
    sleepers.emplace_back([] {
      for (int i = 0; i < 50; ++i) SleepMs(3);
    });
  }
  for (std::thread& sleeper : sleepers) sleeper.join();
  EXPECT_EQ(NowMs(), 8u * 50u * 3u);
}

TEST_F(ClockTest, VirtualClockIsSharedThroughTheMachineFolder) {
  SleepMs(2500);
  std::ifstream clock(root_ / "clock");
  uint64_t stored = 0;
  clock >> stored;
  EXPECT_EQ(stored, 2500u);
}

TEST_F(ClockTest, RealClockCountsFromTheMachinesCreation) {
  ::unsetenv("XPMACHINE_CLOCK");
  ASSERT_FALSE(VirtualClock());
  // Move the creation time 5 s into the past; the real clock must then read at least 5000.
  std::ifstream in(root_ / "machine.ini");
  std::stringstream text;
  text << in.rdbuf();
  std::smatch match;
  const std::string ini = text.str();
  ASSERT_TRUE(std::regex_search(ini, match, std::regex("created = ([0-9]+)")));
  const uint64_t created = std::stoull(match[1]);
  std::ofstream(root_ / "machine.ini") << std::regex_replace(ini, std::regex("created = [0-9]+"),
                                                             "created = " + std::to_string(created - 5000));
  const uint64_t now = NowMs();
  EXPECT_GE(now, 5000u);
  EXPECT_LT(now, 5000u + 600000u);
}

}  // namespace
}  // namespace xp::machine
