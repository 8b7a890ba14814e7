// xpmachine's command line: each accepted form, and the forms that must get the usage text.
#include "arguments.h"

#include <gtest/gtest.h>

namespace xp::xpmachine {
namespace {

using Args = std::vector<std::string>;

TEST(Arguments, AcceptedForms) {
  const struct {
    Args arguments;
    Command::Kind kind;
    const char* dir;
    uint64_t seed;
    Args program;
    const char* account = "";
  } rows[] = {
      {{"new", "m"}, Command::Kind::kNew, "m", 1, {}},
      {{"new", "/tmp/m", "--token-seed", "18446744073709551615"},
       Command::Kind::kNew,
       "/tmp/m",
       18446744073709551615ull,
       {}},
      {{"token", "plug", "m"}, Command::Kind::kTokenPlug, "m", 1, {}},
      {{"token", "unplug", "m"}, Command::Kind::kTokenUnplug, "m", 1, {}},
      {{"token", "show", "m"}, Command::Kind::kTokenShow, "m", 1, {}},
      {{"run", "m", "diskseal"}, Command::Kind::kRun, "m", 1, {"diskseal"}},
      {{"run", "m", "sh", "-c", "exit 3"}, Command::Kind::kRun, "m", 1, {"sh", "-c", "exit 3"}},
      {{"run", "m", "--as", "LOCAL SERVICE", "diskseal", "--as"},
       Command::Kind::kRun,
       "m",
       1,
       {"diskseal", "--as"},
       "LOCAL SERVICE"},
      {{"ps", "m"}, Command::Kind::kPs, "m", 1, {}},
      {{"device", "list", "m"}, Command::Kind::kDeviceList, "m", 1, {}},
      {{"device", "pending", "m", "on"}, Command::Kind::kDevicePending, "m", 1, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.arguments));
    const std::optional<Command> command = ParseArguments(row.arguments);
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(command->kind, row.kind);
    EXPECT_EQ(command->dir, row.dir);
    EXPECT_EQ(command->token_seed, row.seed);
    EXPECT_EQ(command->program, row.program);
    EXPECT_EQ(command->account, row.account);
  }
  EXPECT_TRUE(ParseArguments({"device", "pending", "m", "on"})->pending);
  EXPECT_FALSE(ParseArguments({"device", "pending", "m", "off"})->pending);
}

TEST(Arguments, TheKeyAnswerAndTheSafeModeBoot) {
  const std::optional<Command> answer =
      ParseArguments({"token", "answer", "m", "0123456789abcdef0123456789abcdef"});
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->kind, Command::Kind::kTokenAnswer);
  EXPECT_EQ(answer->puzzle, "0123456789abcdef0123456789abcdef");
  const std::optional<Command> safe = ParseArguments({"boot", "m", "--safe-mode"});
  ASSERT_TRUE(safe.has_value());
  EXPECT_TRUE(safe->safe_mode);
  EXPECT_FALSE(ParseArguments({"boot", "m"})->safe_mode);
  EXPECT_FALSE(ParseArguments({"boot", "m", "--safe"}).has_value());
  // The refusal names the word that does not belong.
  for (const auto& [arguments, word] : {std::pair<Args, std::string>{{"boot", "m", "--safe-mode", "extra"}, "'extra'"},
                                        {{"boot", "m", "--safe", "--safe-mode"}, "'--safe'"}}) {
    std::string why;
    EXPECT_FALSE(ParseArguments(arguments, &why).has_value());
    EXPECT_NE(why.find(word), std::string::npos) << why;
  }
  EXPECT_FALSE(ParseArguments({"token", "answer", "m"}).has_value());
}

TEST(Arguments, RefusedForms) {
  const Args rows[] = {
      {},
      {"new"},
      {"new", ""},
      {"new", "m", "extra"},
      {"new", "m", "--token-seed"},
      {"new", "m", "--token-seed", "x"},
      {"new", "m", "--token-seed", "-1"},
      {"new", "m", "--token-seed", "18446744073709551616"},
      {"new", "m", "--seed", "3"},
      {"token", "show"},
      {"token", "eject", "m"},
      {"token", "show", "m", "extra"},
      {"run", "m"},
      {"run", "m", "--as"},
      {"run", "m", "--as", "SYSTEM"},
      {"run", "m", "--as", "", "diskseal"},
      {"ps"},
      {"ps", "m", "extra"},
      {"boot"},
      {"reboot", "m"},
      {"device", "list"},
      {"device", "list", "m", "extra"},
      {"device", "pending", "m"},
      {"device", "pending", "m", "yes"},
      {"device", "remove", "m"},
  };
  for (const Args& arguments : rows) {
    EXPECT_FALSE(ParseArguments(arguments).has_value()) << ::testing::PrintToString(arguments);
  }
}

}  // namespace
}  // namespace xp::xpmachine
