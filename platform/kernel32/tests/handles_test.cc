// The handle table and CloseHandle: handle values, the last-handle close, and the per-thread last error.
#include "xp/handles.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "windows.h"

namespace {

// Counts its close calls and fails them with a chosen error.
class CountingObject : public xp::KernelObject {
 public:
  explicit CountingObject(DWORD close_error = 0) : close_error_(close_error) {}
  DWORD OnClose() override {
    ++closes;
    return close_error_;
  }
  int closes = 0;

 private:
  DWORD close_error_;
};

TEST(Handles, AreDistinctSmallMultiplesOfFourNeverZeroOrMinusOne) {
  std::set<HANDLE> seen;
  for (int i = 0; i < 100; ++i) {
    const HANDLE handle = xp::InsertHandle(std::make_shared<CountingObject>());
    const auto value = reinterpret_cast<uintptr_t>(handle);
    EXPECT_EQ(value % 4, 0u);
    EXPECT_NE(handle, nullptr);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_LT(value, 0x80000000u);
    EXPECT_TRUE(seen.insert(handle).second);
  }
  for (const HANDLE handle : seen) EXPECT_TRUE(CloseHandle(handle));
}

TEST(Handles, CloseCallsOnCloseOnlyWhenTheLastHandleGoes) {
  const auto object = std::make_shared<CountingObject>();
  const HANDLE first = xp::InsertHandle(object);
  const HANDLE second = xp::InsertHandle(object);
  ASSERT_NE(first, second);
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_EQ(object->closes, 0);
  EXPECT_EQ(xp::LookupHandle(second), object);
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_EQ(object->closes, 1);
  EXPECT_EQ(xp::LookupHandle(second), nullptr);
}

TEST(Handles, CloseReportsTheObjectsCloseErrorAndStillForgetsTheHandle) {
  const HANDLE handle = xp::InsertHandle(std::make_shared<CountingObject>(ERROR_DEVICE_NOT_CONNECTED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseHandle(handle));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseHandle(handle));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Handles, CloseOfAHandleNeverOpenedFails) {
  for (const HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(0x7ffffff0),
                           reinterpret_cast<HANDLE>(6)}) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseHandle(bad)) << bad;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << bad;
  }
}

TEST(Handles, ClosedValuesAreNotHandedOutAgainAtOnce) {
  const HANDLE closed = xp::InsertHandle(std::make_shared<CountingObject>());
  ASSERT_TRUE(CloseHandle(closed));
  const HANDLE next = xp::InsertHandle(std::make_shared<CountingObject>());
  EXPECT_NE(next, closed) << "a stale handle must not reach a new object";
  EXPECT_TRUE(CloseHandle(next));
}

TEST(LastError, IsKeptPerThread) {
  SetLastError(5);
  DWORD seen_in_thread = 1;
  std::thread([&] {
    seen_in_thread = GetLastError();
    SetLastError(ERROR_NOT_OWNER);
  }).join();
  EXPECT_EQ(seen_in_thread, 0u);
  EXPECT_EQ(GetLastError(), 5u);
}

}  // namespace
