// CreateThread: a real thread that tells every registered DLL entry of its start and end, and a handle that is
// signalled when it ends.
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "kernel32_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

class ThreadObject : public Waitable {
 public:
  DWORD Wait(DWORD timeout_ms) override {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto ended = [this] { return ended_; };
    if (timeout_ms == INFINITE) {
      ended_changed_.wait(lock, ended);
      return WAIT_OBJECT_0;
    }
    return ended_changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ended) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
  }

  void Start(DWORD id) {
    const std::lock_guard<std::mutex> lock(mutex_);
    id_ = id;
    started_ = true;
    ended_changed_.notify_all();
  }
  DWORD WaitForStart() {
    std::unique_lock<std::mutex> lock(mutex_);
    ended_changed_.wait(lock, [this] { return started_; });
    return id_;
  }
  void End(DWORD exit_code) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    exit_code_ = exit_code;
    ended_changed_.notify_all();
  }
  DWORD ExitCode() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return ended_ ? exit_code_ : STILL_ACTIVE;
  }

  // A thread created suspended runs once its count falls to 0.
  void Suspend() { suspend_count_ = 1; }
  void WaitUntilResumed() {
    std::unique_lock<std::mutex> lock(mutex_);
    ended_changed_.wait(lock, [this] { return suspend_count_ == 0; });
  }
  DWORD Resume() {
    const std::lock_guard<std::mutex> lock(mutex_);
    const DWORD before = suspend_count_;
    if (suspend_count_ > 0 && --suspend_count_ == 0) ended_changed_.notify_all();
    return before;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ended_changed_;
  bool started_ = false;
  bool ended_ = false;
  DWORD id_ = 0;
  DWORD exit_code_ = 0;
  DWORD suspend_count_ = 0;
};

}  // namespace

DWORD CurrentThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }

}  // namespace xp::kernel32

// Exported by kernel32. The system starts threads with default security and stack, running or suspended.
extern "C" HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T, LPTHREAD_START_ROUTINE start,
                               LPVOID parameter, DWORD creation_flags, LPDWORD thread_id) {
  if (attributes != nullptr || (creation_flags & ~CREATE_SUSPENDED) != 0) {
    XP_FIXME("CreateThread", "security attributes and flags but CREATE_SUSPENDED are not implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (start == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_shared<xp::kernel32::ThreadObject>();
  if ((creation_flags & CREATE_SUSPENDED) != 0) object->Suspend();
  try {
    std::thread([object, start, parameter] {
      object->Start(xp::kernel32::CurrentThreadId());
      object->WaitUntilResumed();
      xp::kernel32::NotifyDllsOfThread(DLL_THREAD_ATTACH);
      const DWORD exit_code = start(parameter);
      xp::kernel32::NotifyDllsOfThread(DLL_THREAD_DETACH);
      xp::kernel32::AbandonThreadMutexes();  // before the handle is signalled, as on XP
      object->End(exit_code);
    }).detach();
  } catch (const std::system_error&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const DWORD id = object->WaitForStart();
  if (thread_id != nullptr) *thread_id = id;
  return xp::InsertHandle(std::move(object));
}

// Exported by kernel32.
extern "C" DWORD ResumeThread(HANDLE thread) {
  const auto object = std::dynamic_pointer_cast<xp::kernel32::ThreadObject>(xp::LookupHandle(thread));
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(-1);
  }
  return object->Resume();
}

// Exported by kernel32.
extern "C" BOOL GetExitCodeThread(HANDLE thread, LPDWORD exit_code) {
  const auto object = std::dynamic_pointer_cast<xp::kernel32::ThreadObject>(xp::LookupHandle(thread));
  if (!object || exit_code == nullptr) {
    SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exit_code = object->ExitCode();
  return TRUE;
}

// Exported by kernel32.
extern "C" DWORD GetCurrentThreadId(void) { return xp::kernel32::CurrentThreadId(); }
