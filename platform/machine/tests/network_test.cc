// The machine's hosts table as XP reads it (a person's own lines, comments, any case) and its listener table, which
// a stopping server may only clear of its own record.
#include "xp/network.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "machine_test_fixture.h"

namespace xp::machine {
namespace {

using NetworkTest = MachineTest;

std::string Read(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST_F(NetworkTest, HostsTableAnswersNamesIgnoringCaseAndComments) {
  const std::filesystem::path etc = root_ / "drives/C/WINDOWS/system32/Drivers/etc";
  std::filesystem::create_directories(etc);
  std::ofstream(etc / "HOSTS") << "# a person's own table\r\n"
                               << "127.0.0.1       localhost\r\n"
                               << "10.1.2.3\tfar.example first.test   # not loopback\r\n"
                               << "127.0.0.5 First.Test second.test\r\n";
  const struct {
    const char* name;
    std::optional<std::string> address;
  } rows[] = {
      {"localhost", "127.0.0.1"},     {"LOCALHOST", "127.0.0.1"}, {"first.test", "10.1.2.3"},
      {"second.test", "127.0.0.5"},   {"not.listed", std::nullopt}, {"#", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(LookUpHost(row.name), row.address) << row.name;

  // New names go into the existing file, whatever the case of its folders; names already there stay as they are.
  ASSERT_TRUE(AddHosts("127.0.0.1", {"second.test", "new.test"}));
  EXPECT_EQ(LookUpHost("second.test"), "127.0.0.5");
  EXPECT_EQ(LookUpHost("NEW.test"), "127.0.0.1");
  EXPECT_TRUE(Read(etc / "HOSTS").ends_with("127.0.0.5 First.Test second.test\r\n127.0.0.1\tnew.test\r\n"));
}

TEST_F(NetworkTest, AddingHostsMakesTheTableOnAFreshMachineOnce) {
  EXPECT_EQ(LookUpHost("a.test"), std::nullopt);
  ASSERT_TRUE(AddHosts("127.0.0.1", {"a.test", "b.test"}));
  ASSERT_TRUE(AddHosts("127.0.0.1", {"b.test", "a.test"}));
  EXPECT_EQ(Read(root_ / "drives/C/WINDOWS/system32/drivers/etc/hosts"), "127.0.0.1\ta.test\r\n127.0.0.1\tb.test\r\n");
}

TEST_F(NetworkTest, TellsLoopbackAddresses) {
  for (const char* yes : {"127.0.0.1", "127.255.0.9", "127.0.0.0"}) EXPECT_TRUE(IsLoopbackAddress(yes)) << yes;
  for (const char* no : {"128.0.0.1", "10.0.0.1", "127.0.0", "127.0.0.1.", "127.0.0.256", "127.0.0.x", "", "::1",
                         "127.0.0.01a", "localhost"}) {
    EXPECT_FALSE(IsLoopbackAddress(no)) << no;
  }
}

TEST_F(NetworkTest, ListenersAreReplacedAndRemovedOnlyByTheirOwnServer) {
  EXPECT_EQ(Listener("127.0.0.1", 80), std::nullopt);
  ASSERT_TRUE(SetListener("127.0.0.1", 80, 40001));
  ASSERT_TRUE(SetListener("127.0.0.1", 443, 40002));
  EXPECT_EQ(Listener("127.0.0.1", 80), 40001);
  EXPECT_EQ(Listener("127.0.0.2", 80), std::nullopt);

  // A second server takes port 80 over; the first one's stop leaves the newer record alone.
  ASSERT_TRUE(SetListener("127.0.0.1", 80, 40003));
  ASSERT_TRUE(RemoveListener("127.0.0.1", 80, 40001));
  EXPECT_EQ(Listener("127.0.0.1", 80), 40003);
  ASSERT_TRUE(RemoveListener("127.0.0.1", 80, 40003));
  EXPECT_EQ(Listener("127.0.0.1", 80), std::nullopt);
  EXPECT_EQ(Listener("127.0.0.1", 443), 40002);
}

}  // namespace
}  // namespace xp::machine
