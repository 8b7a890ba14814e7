// The power-event thread: a hidden window of its own class hears WM_POWERBROADCAST; a suspend or a resume marks
// the workstation as resumed, which the locked notice then tells. The thread ends on a quit message, and Winlogon's
// shutdown waits a while for it (a thread is never killed: it may hold the window manager's or the heap's locks).
#include "logongate_private.h"

namespace tavik::logongate {
namespace {

constexpr char16_t kClassName[] = u"PECWApp";
constexpr char16_t kWindowName[] = u"PowerEventCaptureWindow";
constexpr int kWindowExtraBytes = 4;
constexpr DWORD kEndWaitMs = 5000;
constexpr DWORD kQuitRetryMs = 10;

HANDLE power_thread = nullptr;
DWORD power_thread_id = 0;

LRESULT PowerEventProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_POWERBROADCAST && (wparam == PBT_APMSUSPEND || wparam == PBT_APMRESUMESUSPEND)) {
    TheModule().resumed = true;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

DWORD PowerEventThread(LPVOID) {
  WNDCLASSW window_class{};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = PowerEventProc;
  window_class.cbWndExtra = kWindowExtraBytes;
  window_class.hInstance = TheModule().instance;
  window_class.lpszClassName = kClassName;
  if (RegisterClassW(&window_class) == 0) return 1;
  const HWND window = CreateWindowExW(0, kClassName, kWindowName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, TheModule().instance, nullptr);
  MSG msg;
  while (window != nullptr && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (window != nullptr) DestroyWindow(window);
  UnregisterClassW(kClassName, TheModule().instance);
  return 0;
}

}  // namespace

void StartPowerEventThread() {
  power_thread = CreateThread(nullptr, 0, PowerEventThread, nullptr, 0, &power_thread_id);
  if (power_thread == nullptr) {
    LogEvent(kError, "CapturePowerEvents: Failed to create EventListenerThread LastERror=%d",
             static_cast<int>(GetLastError()));
    return;
  }
  LogEvent(kTrace, "CreateThread Succeeded");
}

void EndPowerEventThread() {
  if (power_thread == nullptr) return;
  // The thread has a queue once its window exists; until then the quit message is posted again.
  DWORD waited = 0;
  while (!PostThreadMessageW(power_thread_id, WM_QUIT, 0, 0) && waited < kEndWaitMs &&
         WaitForSingleObject(power_thread, kQuitRetryMs) == WAIT_TIMEOUT) {
    waited += kQuitRetryMs;
  }
  if (WaitForSingleObject(power_thread, kEndWaitMs) != WAIT_OBJECT_0) {
    LogEvent(kError, "WlxShutDown: Unable to terminateThread error=%d", static_cast<int>(GetLastError()));
  }
  CloseHandle(power_thread);
  power_thread = nullptr;
}

}  // namespace tavik::logongate
