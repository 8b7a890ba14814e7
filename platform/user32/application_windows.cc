// Application windows and thread message queues: registered window classes, hidden top-level windows that belong
// to the thread that made them, and each thread's queue of posted messages. Messages sent to a window from another
// thread wait in its queue too and are carried out by the owner's GetMessageW, as on XP; the sender waits for the
// answer. The dialogs and their controls are another table (window_table.cc): these windows never reach the UI.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "user32_private.h"
#include "xp/dialogs.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(user32);

namespace xp::user32 {
namespace {

constexpr uintptr_t kFirstWindow = 0x20000010;
constexpr auto kSendWait = std::chrono::seconds(5);

struct ClassInfo {
  WNDPROC procedure = nullptr;
  int windows = 0;
};

struct AppWindow {
  std::u16string class_name;
  WNDPROC procedure = nullptr;
  DWORD thread = 0;
};

// A message sent from another thread: its sender waits until `done`.
struct Sent {
  LRESULT result = 0;
  bool done = false;
};

struct Queued {
  MSG msg;
  std::shared_ptr<Sent> sent;  // null for a posted message
};

struct ThreadQueue {
  std::deque<Queued> messages;
  std::condition_variable changed;
};

struct State {
  std::mutex mutex;
  std::map<std::u16string, ClassInfo> classes;  // by upper-cased name
  std::map<HWND, AppWindow> windows;
  std::map<DWORD, ThreadQueue> queues;
  uintptr_t next = kFirstWindow;
};

State& TheState() {
  static State* const state = new State;
  return *state;
}

std::u16string Key(LPCWSTR name) {
  std::u16string key = name != nullptr ? name : u"";
  for (char16_t& c : key) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  }
  return key;
}

void Post(State& state, DWORD thread, const MSG& msg, std::shared_ptr<Sent> sent = nullptr) {
  ThreadQueue& queue = state.queues[thread];
  queue.messages.push_back({msg, std::move(sent)});
  queue.changed.notify_all();
}

// Calls the window's procedure on this thread, without the lock.
LRESULT Deliver(const MSG& msg) {
  WNDPROC procedure = nullptr;
  {
    State& state = TheState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    const auto found = state.windows.find(msg.hwnd);
    if (found == state.windows.end()) return 0;
    procedure = found->second.procedure;
  }
  return procedure(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

}  // namespace

bool IsApplicationWindow(HWND window) {
  State& state = TheState();
  const std::lock_guard<std::mutex> lock(state.mutex);
  return state.windows.count(window) != 0;
}

LRESULT SendApplicationMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  State& state = TheState();
  const MSG msg{window, message, wparam, lparam, GetTickCount(), {0, 0}};
  std::unique_lock<std::mutex> lock(state.mutex);
  const auto found = state.windows.find(window);
  if (found == state.windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (found->second.thread == GetCurrentThreadId()) {
    lock.unlock();
    return Deliver(msg);
  }
  auto sent = std::make_shared<Sent>();
  const DWORD owner = found->second.thread;
  Post(state, owner, msg, sent);
  ThreadQueue& mine = state.queues[GetCurrentThreadId()];
  if (!mine.changed.wait_for(lock, kSendWait, [&] { return sent->done; })) {
    std::fprintf(stderr, "warn:user32:SendMessage message 0x%04x: thread %u did not answer\n", message, owner);
    return 0;
  }
  return sent->result;
}

void BroadcastPowerEvent(WPARAM event) {
  std::vector<HWND> windows;
  {
    State& state = TheState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    for (const auto& [handle, window] : state.windows) windows.push_back(handle);
  }
  for (const HWND window : windows) SendApplicationMessage(window, WM_POWERBROADCAST, event, 0);
}

}  // namespace xp::user32

using xp::user32::TheState;

// Exported by user32.
extern "C" ATOM RegisterClassW(const WNDCLASSW* window_class) {
  if (window_class == nullptr || window_class->lpfnWndProc == nullptr || window_class->lpszClassName == nullptr ||
      IS_INTRESOURCE(window_class->lpszClassName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  xp::user32::State& state = TheState();
  const std::lock_guard<std::mutex> lock(state.mutex);
  const auto [entry, added] = state.classes.emplace(xp::user32::Key(window_class->lpszClassName),
                                                    xp::user32::ClassInfo{window_class->lpfnWndProc, 0});
  if (!added) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  return static_cast<ATOM>(0xC000 + state.classes.size());
}

// Exported by user32.
extern "C" BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE) {
  xp::user32::State& state = TheState();
  const std::lock_guard<std::mutex> lock(state.mutex);
  const auto found = state.classes.find(xp::user32::Key(class_name));
  if (found == state.classes.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (found->second.windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  state.classes.erase(found);
  return TRUE;
}

// Exported by user32.
extern "C" HWND CreateWindowExW(DWORD, LPCWSTR class_name, LPCWSTR, DWORD, int, int, int, int, HWND parent,
                                HMENU menu, HINSTANCE, LPVOID) {
  if (parent != nullptr || menu != nullptr) {
    XP_FIXME("CreateWindowExW", "child windows and menus are not implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  HWND window = nullptr;
  {
    xp::user32::State& state = TheState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    const auto found = state.classes.find(xp::user32::Key(class_name));
    if (found == state.classes.end()) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return nullptr;
    }
    window = reinterpret_cast<HWND>(state.next);
    state.next += 4;
    ++found->second.windows;
    state.windows[window] = {found->first, found->second.procedure, GetCurrentThreadId()};
    state.queues[GetCurrentThreadId()];
  }
  xp::user32::SendApplicationMessage(window, WM_CREATE, 0, 0);
  return window;
}

// Exported by user32.
extern "C" BOOL DestroyWindow(HWND window) {
  {
    xp::user32::State& state = TheState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    const auto found = state.windows.find(window);
    if (found == state.windows.end()) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (found->second.thread != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
  }
  xp::user32::SendApplicationMessage(window, WM_DESTROY, 0, 0);
  xp::user32::State& state = TheState();
  const std::lock_guard<std::mutex> lock(state.mutex);
  const auto found = state.windows.find(window);
  if (found == state.windows.end()) return TRUE;
  --state.classes[found->second.class_name].windows;
  state.windows.erase(found);
  return TRUE;
}

// Exported by user32.
extern "C" LRESULT DefWindowProcW(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) DestroyWindow(window);
  return 0;
}

// Exported by user32. Messages sent from other threads are carried out while waiting; they are never returned.
extern "C" BOOL GetMessageW(LPMSG msg, HWND window, UINT filter_min, UINT filter_max) {
  if (msg == nullptr || window != nullptr || filter_min != 0 || filter_max != 0) {
    if (msg != nullptr) XP_FIXME("GetMessageW", "filters are not implemented");
    SetLastError(msg == nullptr ? ERROR_INVALID_PARAMETER : ERROR_CALL_NOT_IMPLEMENTED);
    return -1;
  }
  xp::user32::State& state = TheState();
  std::unique_lock<std::mutex> lock(state.mutex);
  xp::user32::ThreadQueue& queue = state.queues[GetCurrentThreadId()];
  for (;;) {
    queue.changed.wait(lock, [&] { return !queue.messages.empty(); });
    xp::user32::Queued next = std::move(queue.messages.front());
    queue.messages.pop_front();
    if (!next.sent) {
      *msg = next.msg;
      return msg->message == WM_QUIT ? FALSE : TRUE;
    }
    lock.unlock();
    const LRESULT result = xp::user32::Deliver(next.msg);
    lock.lock();
    next.sent->result = result;
    next.sent->done = true;
    for (auto& [thread, waiting] : state.queues) waiting.changed.notify_all();
  }
}

// Exported by user32. A message for an application window goes to its procedure.
extern "C" LRESULT DispatchMessageW(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr) return 0;
  if (xp::user32::IsApplicationWindow(msg->hwnd)) return xp::user32::Deliver(*msg);
  return DispatchMessageA(msg);
}

// Exported by user32.
extern "C" BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  xp::user32::State& state = TheState();
  const std::lock_guard<std::mutex> lock(state.mutex);
  const auto found = state.windows.find(window);
  if (found == state.windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  xp::user32::Post(state, found->second.thread, MSG{window, message, wparam, lparam, GetTickCount(), {0, 0}});
  return TRUE;
}

// Exported by user32. The thread must have a queue: it made a window or waits in GetMessageW.
extern "C" BOOL PostThreadMessageW(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam) {
  xp::user32::State& state = TheState();
  const std::lock_guard<std::mutex> lock(state.mutex);
  if (state.queues.count(thread_id) == 0) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  xp::user32::Post(state, thread_id, MSG{nullptr, message, wparam, lparam, GetTickCount(), {0, 0}});
  return TRUE;
}

// Exported by user32.
extern "C" void PostQuitMessage(int exit_code) {
  xp::user32::State& state = TheState();
  const std::lock_guard<std::mutex> lock(state.mutex);
  xp::user32::Post(state, GetCurrentThreadId(),
                   MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exit_code), 0, GetTickCount(), {0, 0}});
}
