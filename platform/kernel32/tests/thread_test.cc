// CreateThread: the start routine runs on a new thread with its parameter (once resumed, when created suspended),
// and the handle is signalled at its end.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include "windows.h"

namespace {

struct Gate {
  std::atomic<bool> open{false};
  std::atomic<DWORD> ran_on{0};
  std::atomic<bool> finished{false};
};

// Waits for `flag` for at most ten seconds, so that a failing test cannot hang; true when it was set.
bool WaitFor(const std::atomic<bool>& flag) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!flag) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ::usleep(1000);
  }
  return true;
}

DWORD WINAPI WaitAtGate(LPVOID parameter) {
  auto* gate = static_cast<Gate*>(parameter);
  gate->ran_on = static_cast<DWORD>(::syscall(SYS_gettid));
  const bool opened = WaitFor(gate->open);
  gate->finished = true;
  return opened ? 0 : 1;
}

TEST(CreateThread, RunsTheRoutineAndSignalsItsHandleAtTheEnd) {
  Gate gate;
  DWORD id = 0;
  const HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, static_cast<DWORD>(::syscall(SYS_gettid)));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  gate.open = true;
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(gate.ran_on.load(), id);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "stays signalled";
  EXPECT_TRUE(CloseHandle(thread));
}

TEST(CreateThread, ClosingTheHandleLeavesTheThreadRunning) {
  static Gate gate;  // outlives the thread, which nobody joins
  const HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(CloseHandle(thread));
  gate.open = true;
  EXPECT_TRUE(WaitFor(gate.finished)) << "the thread ended";
}

DWORD WINAPI ReturnSeven(LPVOID parameter) {
  static_cast<Gate*>(parameter)->finished = true;
  return 7;
}

TEST(CreateThread, ASuspendedThreadRunsOnlyOnceResumedAndKeepsItsExitCode) {
  Gate gate;
  const HANDLE thread = CreateThread(nullptr, 0, ReturnSeven, &gate, CREATE_SUSPENDED, nullptr);
  ASSERT_NE(thread, nullptr);
  DWORD exit_code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &exit_code));
  EXPECT_EQ(exit_code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 50), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(gate.finished.load());
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(gate.finished.load());
  ASSERT_TRUE(GetExitCodeThread(thread, &exit_code));
  EXPECT_EQ(exit_code, 7u);
  EXPECT_EQ(ResumeThread(thread), 0u) << "a running thread's count is 0";
  CloseHandle(thread);
}

TEST(CreateThread, OtherFlagsAndSecurityAreNotImplemented) {
  Gate gate;
  gate.open = true;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  constexpr DWORD kStackSizeParamIsAReservation = 0x10000;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateThread(nullptr, 0, WaitAtGate, &gate, kStackSizeParamIsAReservation, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateThread(&attributes, 0, WaitAtGate, &gate, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

}  // namespace
