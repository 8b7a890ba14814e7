// One token shared by every open and every process of the machine: state written through to the token's
// file, single requests serialised by its lock, unplugging ending older handles.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "token_fixture.h"

namespace xp::usbtoken {
namespace {

using PersistenceTest = TokenTest;

// Runs `body` in a forked child; its exit status is 0 when every check there held.
int InChild(const std::function<bool()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(PersistenceTest, TwoOpensSeeOneToken) {
  Channel writer = Open();
  Channel reader = Open();
  ASSERT_EQ(writer.ProgramChunk(16, 8, {0xA1, 0xB2}), ERROR_SUCCESS);
  std::vector<uint8_t> data;
  ASSERT_EQ(reader.ReadChunk(16, 8, 0x0B, 2, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, (std::vector<uint8_t>{0xA1, 0xB2}));
}

TEST_F(PersistenceTest, AnotherProcessSeesFlashPasswordCounterAndAcceptance) {
  const std::filesystem::path machine = root_;
  const std::string id = id_;
  ASSERT_EQ(InChild([&] {
              DWORD error = 0;
              auto device = OpenInterface(InterfacePath(id), &error);
              if (!device) return false;
              Channel child(device);
              return child.ProgramChunk(24, 0, {1, 2, 3}) == ERROR_SUCCESS &&
                     child.ProgramPassword("Secret1") == ERROR_SUCCESS &&
                     child.ComparePassword("Secret1") == ERROR_SUCCESS && child.WriteCounter(2) == ERROR_SUCCESS;
            }),
            0);
  Channel channel = Open();
  std::vector<uint8_t> data;
  ASSERT_EQ(channel.ReadChunk(24, 0, 0x0B, 3, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(channel.Status(), 0x03);
  uint16_t counter = 0;
  ASSERT_EQ(channel.ReadCounter(&counter), ERROR_SUCCESS);
  EXPECT_EQ(counter, 2);
  EXPECT_EQ(Look().password_block, PasswordBlock("Secret1"));
}

// Every request reads, changes and writes back the token's state: without the lock, concurrent requests would
// lose each other's changes and the countdown would not run out on the 400th request.
TEST_F(PersistenceTest, ConcurrentRequestsFromTwoProcessesAreSerialised) {
  constexpr int kPerProcess = 200;
  ASSERT_TRUE(UnplugAfter(root_, id_, 2 * kPerProcess));
  const std::string id = id_;
  auto hammer = [&] {
    DWORD error = 0;
    auto device = OpenInterface(InterfacePath(id), &error);
    if (!device) return false;
    Channel child(device);
    for (int i = 0; i < kPerProcess; ++i) {
      if (child.Read(0x31, 1) != ERROR_SUCCESS) return false;
    }
    return true;
  };
  const pid_t first = fork();
  if (first == 0) _exit(hammer() ? 0 : 1);
  const pid_t second = fork();
  if (second == 0) _exit(hammer() ? 0 : 1);
  int status_first = 0, status_second = 0;
  waitpid(first, &status_first, 0);
  waitpid(second, &status_second, 0);
  EXPECT_EQ(WEXITSTATUS(status_first), 0);
  EXPECT_EQ(WEXITSTATUS(status_second), 0);
  EXPECT_FALSE(Look().plugged);
  const std::vector<Request> log = RequestLog(root_, id_);
  EXPECT_EQ(log.size(), 2u * kPerProcess);
  EXPECT_TRUE(std::all_of(log.begin(), log.end(), [](const Request& r) { return r.result == ERROR_SUCCESS; }));
}

TEST_F(PersistenceTest, UnpluggingEndsEveryOlderHandleAndHidesTheInterface) {
  Channel old_handle = Open();
  ASSERT_EQ(old_handle.Status(), 0x01);
  ASSERT_TRUE(Unplug(root_, id_));
  EXPECT_EQ(old_handle.Read(0x31, 1), ERROR_DEVICE_NOT_CONNECTED);
  DWORD error = 0;
  EXPECT_EQ(OpenInterface(InterfacePath(id_), &error), nullptr);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(List(root_)[0].plugged);

  ASSERT_TRUE(Plug(root_, id_));
  EXPECT_EQ(old_handle.Read(0x31, 1), ERROR_DEVICE_NOT_CONNECTED) << "a replug does not revive old handles";
  EXPECT_EQ(Open().Status(), 0x01);
}

}  // namespace
}  // namespace xp::usbtoken
