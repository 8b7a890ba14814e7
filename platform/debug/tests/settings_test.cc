// XPDEBUG's items as a person writes them: which levels each one leaves on for one channel.
#include <gtest/gtest.h>

#include "xp/debug.h"

namespace xp::debug {
namespace {

constexpr uint8_t kAll = kErr | kFixme | kWarn | kTrace;
constexpr uint8_t kDefault = kErr | kFixme;

TEST(DebugSettings, ItemsApplyInOrderToTheirChannelOrToAll) {
  const struct {
    const char* settings;
    uint8_t token;  // the levels left on for the channel "token"
  } cases[] = {
      {nullptr, kDefault},
      {"", kDefault},
      {"+token", kAll},
      {"-token", 0},
      {"+token,-ui", kAll},
      {"+kernel,-ui", kDefault},  // items of other channels leave it alone
      {"trace+token", kDefault | kTrace},
      {"warn+token", kDefault | kWarn},
      {"fixme-token", kErr},
      {"err-all", kFixme},
      {"+all", kAll},
      {"-all,trace+token", kTrace},
      {"trace+token,-all", 0},  // later items win
      {"+tokens", kDefault},    // a name is matched whole
      {"+tok", kDefault},
      {"token", kDefault},                   // no sign: not an item
      {"loud+token,+token", kAll},           // an unknown level spoils only its own item
      {",,+token,", kAll},                   // empty items are skipped
  };
  for (const auto& row : cases) {
    EXPECT_EQ(LevelsFor(row.settings, "token"), row.token) << "XPDEBUG=" << (row.settings ? row.settings : "(unset)");
  }
}

TEST(DebugSettings, AChannelReadsTheSettingsOnceAndKeepsThem) {
  ::setenv("XPDEBUG", "trace+cached", 1);
  const Channel channel("cached");
  EXPECT_TRUE(channel.On(kTrace));
  EXPECT_FALSE(channel.On(kWarn));
  ::setenv("XPDEBUG", "-cached", 1);
  EXPECT_TRUE(channel.On(kTrace)) << "the first answer is kept";
  EXPECT_TRUE(channel.On(kFixme));
  const Channel fresh("cached");
  EXPECT_FALSE(fresh.On(kFixme)) << "a channel first used now reads the new settings";
  ::unsetenv("XPDEBUG");
}

}  // namespace
}  // namespace xp::debug
