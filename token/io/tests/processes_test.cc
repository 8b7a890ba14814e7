// Token use from several processes at once: "KeyMutex" keeps register sequences whole, and a holder that dies
// does not block the next caller.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "token_fixture.h"
#include "tokenio.h"

namespace tavik::tokenio::testing {
namespace {

using ProcessesTest = TokenTest;

template <typename Body>
pid_t Child(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

int ExitCode(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ProcessesTest, ConcurrentChecksDoNotInterleave) {
  ASSERT_EQ(BurnPwd("Secret1"), 1);
  ClearLog();
  const pid_t right = Child([] { return CheckPwd("Secret1"); });
  const pid_t wrong = Child([] { return CheckPwd("Wrong99"); });
  EXPECT_EQ(ExitCode(right), 0);
  const int wrong_result = ExitCode(wrong);
  EXPECT_TRUE(wrong_result == 1) << wrong_result;

  std::vector<uint8_t> sent;
  for (const auto& w : Writes(0x34)) sent.push_back(w.at(0));
  ASSERT_EQ(sent.size(), 126u);
  const std::string first(sent.begin(), sent.begin() + 7), second(sent.begin() + 63, sent.begin() + 70);
  EXPECT_TRUE((first == "Secret1" && second == "Wrong99") || (first == "Wrong99" && second == "Secret1"))
      << first << " / " << second;
  EXPECT_EQ(std::count(sent.begin(), sent.begin() + 63, 0xFF), 56);
}

TEST_F(ProcessesTest, AHolderThatDiesDoesNotBlockTheNextCaller) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = Child([&] {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "KeyMutex");
    if (mutex == nullptr || GetLastError() != 0) return 1;
    const char byte = 1;
    if (write(ready[1], &byte, 1) != 1) return 1;
    return 0;  // ends while still owning the mutex
  });
  char byte;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  EXPECT_EQ(ExitCode(holder), 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_EQ(CheckPwd(""), 0);
}

TEST_F(ProcessesTest, PasswordStateAndPagesAreSharedAcrossProcesses) {
  const pid_t setter = Child([] {
    const unsigned char data[3] = {7, 8, 9};
    return BurnPwd("Secret1") == 1 && WriteUserDataPage(12, 100, 3, data) == 1 ? 0 : 1;
  });
  ASSERT_EQ(ExitCode(setter), 0);
  EXPECT_EQ(CheckPwd(""), 1);
  const pid_t checker = Child([] { return CheckPwd("Secret1"); });
  EXPECT_EQ(ExitCode(checker), 0);
  EXPECT_EQ(IsPwdValidated(), 1);  // the accepted state lasts across processes until logout
  unsigned char back[3];
  ASSERT_EQ(ReadUserDataPage(12, 100, 3, back), 1);
  EXPECT_EQ(std::vector<uint8_t>(back, back + 3), (std::vector<uint8_t>{7, 8, 9}));
}

}  // namespace
}  // namespace tavik::tokenio::testing
