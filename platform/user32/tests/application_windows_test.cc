// Hidden application windows and their threads' queues: a window made on another thread hears a power broadcast
// before the broadcast returns (also when the user suspends while a dialog waits), WM_QUIT ends its loop, and a
// class goes only once its windows are gone.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "sample_dialog.h"
#include "xp/dialogs.h"
#include "xp/ui_script.h"

namespace xp::user32::testing {
namespace {

using ApplicationWindowsTest = DialogTest;

std::vector<WPARAM> heard;
std::atomic<DWORD> loop_thread{0};
HWND loop_window = nullptr;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_POWERBROADCAST) heard.push_back(wparam);
  return DefWindowProcW(window, message, wparam, lparam);
}

// A thread as a program's hidden window keeps one: its class, its window, the loop until WM_QUIT, and the class
// unregistered once the window is gone.
DWORD WindowThread(LPVOID) {
  WNDCLASSW window_class{};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = RecordingProc;
  window_class.cbWndExtra = 4;
  window_class.lpszClassName = u"TestClass";
  if (RegisterClassW(&window_class) == 0) return 1;
  loop_window = CreateWindowExW(0, u"TestClass", u"Hidden", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  if (loop_window == nullptr) return 2;
  loop_thread = GetCurrentThreadId();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  const bool class_busy = !UnregisterClassW(u"TestClass", nullptr) && GetLastError() == ERROR_CLASS_HAS_WINDOWS;
  DestroyWindow(loop_window);
  return class_busy && UnregisterClassW(u"TestClass", nullptr) ? static_cast<DWORD>(msg.wParam) : 3;
}

TEST_F(ApplicationWindowsTest, AWindowOfAnotherThreadHearsEveryPowerEventBeforeTheBroadcastReturns) {
  heard.clear();
  loop_thread = 0;
  const HANDLE thread = CreateThread(nullptr, 0, WindowThread, nullptr, CREATE_SUSPENDED, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(loop_thread.load(), 0u);  // suspended
  EXPECT_EQ(ResumeThread(thread), 1u);
  while (loop_thread.load() == 0) Sleep(1);
  EXPECT_TRUE(IsWindow(loop_window));

  BroadcastPowerEvent(PBT_APMSUSPEND);
  EXPECT_EQ(heard, (std::vector<WPARAM>{PBT_APMSUSPEND}));
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Power("resume").Click(IDOK);
  Play(script);
  SampleDialog sample;
  EXPECT_EQ(RunSample(sample), 1);
  EXPECT_EQ(heard, (std::vector<WPARAM>{PBT_APMSUSPEND, PBT_APMRESUMESUSPEND}));

  ASSERT_TRUE(PostThreadMessageW(loop_thread, WM_QUIT, 7, 0));
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  DWORD exit_code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &exit_code));
  EXPECT_EQ(exit_code, 7u);
  EXPECT_FALSE(IsWindow(loop_window));
  CloseHandle(thread);
}

TEST_F(ApplicationWindowsTest, ClassesAndQueuesRefuseWhatTheyDoNotHold) {
  SetLastError(0);
  EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
  EXPECT_FALSE(UnregisterClassW(u"NoSuchClass", nullptr));
  EXPECT_FALSE(PostThreadMessageW(0x7FFFFFF0, WM_QUIT, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
  WNDCLASSW twice{};
  twice.lpfnWndProc = RecordingProc;
  twice.lpszClassName = u"Twice";
  EXPECT_NE(RegisterClassW(&twice), 0);
  EXPECT_EQ(RegisterClassW(&twice), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  EXPECT_TRUE(UnregisterClassW(u"twice", nullptr));  // names ignore case
}

}  // namespace
}  // namespace xp::user32::testing
