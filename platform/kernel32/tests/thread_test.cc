// CreateThread: the start routine runs on a new thread with its parameter, and the handle is signalled at its end.
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

TEST(CreateThread, FlagsAndSecurityAreNotImplemented) {
  Gate gate;
  gate.open = true;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  constexpr DWORD kCreateSuspended = 0x4;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateThread(nullptr, 0, WaitAtGate, &gate, kCreateSuspended, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateThread(&attributes, 0, WaitAtGate, &gate, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

}  // namespace
