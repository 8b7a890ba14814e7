// Sleep and GetTickCount on the machine's virtual clock.
#include <gtest/gtest.h>

#include "scratch_machine.h"
#include "windows.h"
#include "xp/machine.h"

namespace {

TEST(Time, SleepAdvancesTheTickCountByExactlyItsArgument) {
  const xp::test::ScratchMachine machine;
  const DWORD start = GetTickCount();
  EXPECT_EQ(start, 0u);
  for (const DWORD ms : {200u, 2000u, 1800u, 100u, 0u}) Sleep(ms);
  EXPECT_EQ(GetTickCount() - start, 4100u);
}

TEST(Time, TickCountWrapsAt32Bits) {
  const xp::test::ScratchMachine machine;
  xp::machine::SleepMs(0xFFFFFFFFu);
  xp::machine::SleepMs(11);
  EXPECT_EQ(xp::machine::NowMs(), 0x10000000Aull);
  EXPECT_EQ(GetTickCount(), 10u);
}

}  // namespace
