// Named mutexes, machine-wide: creation and ERROR_ALREADY_EXISTS, re-entrant ownership through any handle,
// WAIT_ABANDONED after an owner's thread or process ends, time-outs, and the name's life across processes.
// T1, T2 are threads of this process; P1, P2 are helper processes. Each step answers "<result> <last error>",
// with "untouched" when the call left the 0xdeadbeef sentinel.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>

#include "actors.h"
#include "scratch_machine.h"
#include "windows.h"

namespace xp::kernel32::testing {
namespace {

struct Step {
  const char* actor;
  const char* command;  // "&cmd" starts cmd without waiting; "?" collects its answer; "end" ends the actor
  const char* expected;
};

class MutexTest : public ::testing::Test {
 protected:
  Actor& Get(const std::string& name) {
    std::unique_ptr<Actor>& actor = actors_[name];
    if (!actor) {
      if (name[0] == 'P') {
        actor = std::make_unique<ProcessActor>();
      } else {
        actor = std::make_unique<ThreadActor>();
      }
    }
    return *actor;
  }

  void Run(const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
      const Step& step = steps[i];
      SCOPED_TRACE("step " + std::to_string(i + 1) + ": " + step.actor + " " + step.command);
      Actor& actor = Get(step.actor);
      const std::string command = step.command;
      if (command[0] == '&') {
        actor.Send(command.substr(1));
      } else if (command == "?") {
        EXPECT_EQ(actor.Receive(), step.expected);
      } else if (command == "end") {
        actor.End();
      } else {
        EXPECT_EQ(actor.Run(command), step.expected);
      }
    }
  }

  test::ScratchMachine machine_;
  std::map<std::string, std::unique_ptr<Actor>> actors_;
};

TEST_F(MutexTest, OwnershipWithinOneProcess) {
  Run({
      {"T1", "create 1 KeyMutex owned", "handle 0"},
      // A second handle neither blocks nor changes ownership; waiting on it re-enters at once.
      {"T1", "create 2 KeyMutex owned", "handle ERROR_ALREADY_EXISTS"},
      {"T1", "wait 2 INFINITE", "WAIT_OBJECT_0 untouched"},
      {"T2", "create 1 KeyMutex owned", "handle ERROR_ALREADY_EXISTS"},
      {"T2", "wait 1 0", "WAIT_TIMEOUT untouched"},
      {"T2", "wait 1 30", "WAIT_TIMEOUT untouched"},
      {"T2", "release 1", "FALSE ERROR_NOT_OWNER"},
      {"T1", "release 2", "TRUE untouched"},
      {"T1", "close 2", "TRUE untouched"},
      {"T2", "wait 1 0", "WAIT_TIMEOUT untouched"},  // still held once
      {"T1", "release 1", "TRUE untouched"},
      {"T1", "release 1", "FALSE ERROR_NOT_OWNER"},
      {"T2", "wait 1 0", "WAIT_OBJECT_0 untouched"},
      {"T1", "wait 1 0", "WAIT_TIMEOUT untouched"},
      // Closing a handle does not release; the owner releases through a fresh handle while T1 waits.
      {"T2", "close 1", "TRUE untouched"},
      {"T1", "&wait 1 INFINITE", ""},
      {"T2", "create 3 KeyMutex unowned", "handle ERROR_ALREADY_EXISTS"},
      {"T2", "release 3", "TRUE untouched"},
      {"T1", "?", "WAIT_OBJECT_0 untouched"},
      {"T2", "close 3", "TRUE untouched"},
      {"T1", "release 1", "TRUE untouched"},
      {"T1", "close 1", "TRUE untouched"},
      // The last handle is gone: the name is new again; names are case-sensitive.
      {"T1", "create 4 KeyMutex unowned", "handle 0"},
      {"T2", "create 4 keymutex owned", "handle 0"},
      {"T1", "wait 4 0", "WAIT_OBJECT_0 untouched"},
      {"T2", "wait 4 0", "WAIT_OBJECT_0 untouched"},
  });
}

TEST_F(MutexTest, ClosingTheLastHandleEndsTheMutexEvenWhileOwned) {
  Run({
      {"T1", "create 1 Solo owned", "handle 0"},
      {"T1", "close 1", "TRUE untouched"},
      {"T2", "create 1 Solo owned", "handle 0"},  // a new mutex, owned by its creator
      {"T1", "create 2 Solo owned", "handle ERROR_ALREADY_EXISTS"},
      {"T1", "wait 2 0", "WAIT_TIMEOUT untouched"},  // T1's old ownership does not reach the new mutex
  });
}

TEST_F(MutexTest, BadHandles) {
  Run({
      {"T1", "wait 9 0", "WAIT_FAILED ERROR_INVALID_HANDLE"},
      {"T1", "release 9", "FALSE ERROR_INVALID_HANDLE"},
      {"T1", "close 9", "FALSE ERROR_INVALID_HANDLE"},
  });
}

TEST_F(MutexTest, AcrossProcesses) {
  Run({
      {"P1", "create 1 KeyMutex owned", "handle 0"},
      {"P2", "create 1 KeyMutex owned", "handle ERROR_ALREADY_EXISTS"},
      {"T1", "create 1 KeyMutex owned", "handle ERROR_ALREADY_EXISTS"},
      {"P2", "wait 1 0", "WAIT_TIMEOUT untouched"},
      {"P2", "wait 1 30", "WAIT_TIMEOUT untouched"},
      {"P2", "release 1", "FALSE ERROR_NOT_OWNER"},
      {"P2", "&wait 1 INFINITE", ""},
      // The owner's nested acquisition through a new handle does not wait behind P2.
      {"P1", "create 2 KeyMutex owned", "handle ERROR_ALREADY_EXISTS"},
      {"P1", "wait 2 INFINITE", "WAIT_OBJECT_0 untouched"},
      {"P1", "release 2", "TRUE untouched"},
      {"P1", "close 2", "TRUE untouched"},
      {"P1", "release 1", "TRUE untouched"},
      {"P2", "?", "WAIT_OBJECT_0 untouched"},
      {"T1", "wait 1 0", "WAIT_TIMEOUT untouched"},
      // P2 dies holding it: the waiting thread gets it, abandoned, and then owns it.
      {"T1", "&wait 1 INFINITE", ""},
      {"P2", "end", ""},
      {"T1", "?", "WAIT_ABANDONED untouched"},
      {"P1", "wait 1 0", "WAIT_TIMEOUT untouched"},
      {"T1", "release 1", "TRUE untouched"},
      {"T1", "release 1", "FALSE ERROR_NOT_OWNER"},
      {"P1", "wait 1 0", "WAIT_OBJECT_0 untouched"},  // released properly: not abandoned
      {"P1", "release 1", "TRUE untouched"},
      // The name lives while any process has a handle.
      {"T1", "close 1", "TRUE untouched"},
      {"T2", "create 1 KeyMutex owned", "handle ERROR_ALREADY_EXISTS"},
      {"P1", "close 1", "TRUE untouched"},
      {"T2", "close 1", "TRUE untouched"},
      {"T2", "create 2 KeyMutex owned", "handle 0"},
  });
}

TEST_F(MutexTest, AProcessKilledHoldingTheOnlyHandleLeavesNothingBehind) {
  Run({
      {"P1", "create 1 KeyMutex owned", "handle 0"},
      {"P1", "end", ""},
      {"T1", "create 1 KeyMutex owned", "handle 0"},
      {"P2", "create 1 KeyMutex owned", "handle ERROR_ALREADY_EXISTS"},
      {"P2", "wait 1 0", "WAIT_TIMEOUT untouched"},
      {"T1", "release 1", "TRUE untouched"},
      {"P2", "wait 1 0", "WAIT_OBJECT_0 untouched"},
  });
}

TEST_F(MutexTest, AThreadEndingWhileOwningAbandonsIt) {
  Run({
      {"T1", "create 1 KeyMutex owned", "handle 0"},
      {"T1", "create 2 KeyMutex owned", "handle ERROR_ALREADY_EXISTS"},
      {"T1", "wait 2 0", "WAIT_OBJECT_0 untouched"},
      {"T2", "create 1 KeyMutex owned", "handle ERROR_ALREADY_EXISTS"},
      {"P1", "create 1 KeyMutex owned", "handle ERROR_ALREADY_EXISTS"},
      {"T2", "&wait 1 INFINITE", ""},
      {"T1", "end", ""},
      {"T2", "?", "WAIT_ABANDONED untouched"},
      {"P1", "wait 1 0", "WAIT_TIMEOUT untouched"},
      {"T2", "release 1", "TRUE untouched"},
      {"P1", "wait 1 0", "WAIT_OBJECT_0 untouched"},
  });
}

TEST_F(MutexTest, ContendingProcessesAndThreadsLoseNoUpdate) {
  const std::string counter = (machine_.root() / "counter").string();
  std::ofstream(counter) << 0;
  const std::string work = "count KeyMutex " + counter + " 150";
  for (const char* actor : {"P1", "P2", "T1", "T2"}) Get(actor).Send(work);
  for (const char* actor : {"P1", "P2", "T1", "T2"}) EXPECT_EQ(Get(actor).Receive(), "counted") << actor;
  long value = 0;
  std::ifstream(counter) >> value;
  EXPECT_EQ(value, 4 * 150);
}

TEST(MutexCalls, OnlyNamedMutexesWithDefaultSecurityAreImplemented) {
  const test::ScratchMachine machine;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  const struct {
    LPSECURITY_ATTRIBUTES attributes;
    LPCSTR name;
  } rows[] = {{nullptr, nullptr}, {nullptr, ""}, {&attributes, "KeyMutex"}};
  for (const auto& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateMutexA(row.attributes, TRUE, row.name), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  }
}

}  // namespace
}  // namespace xp::kernel32::testing
