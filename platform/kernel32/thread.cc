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
  void End() {
    const std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    ended_changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ended_changed_;
  bool started_ = false;
  bool ended_ = false;
  DWORD id_ = 0;
};

}  // namespace

DWORD CurrentThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }

}  // namespace xp::kernel32

// Exported by kernel32. The system starts threads with default security, stack and flags.
extern "C" HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T, LPTHREAD_START_ROUTINE start,
                               LPVOID parameter, DWORD creation_flags, LPDWORD thread_id) {
  if (attributes != nullptr || creation_flags != 0) {
    XP_FIXME("CreateThread", "security attributes and creation flags are not implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (start == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_shared<xp::kernel32::ThreadObject>();
  try {
    std::thread([object, start, parameter] {
      object->Start(xp::kernel32::CurrentThreadId());
      xp::kernel32::NotifyDllsOfThread(DLL_THREAD_ATTACH);
      start(parameter);
      xp::kernel32::NotifyDllsOfThread(DLL_THREAD_DETACH);
      xp::kernel32::AbandonThreadMutexes();  // before the handle is signalled, as on XP
      object->End();
    }).detach();
  } catch (const std::system_error&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const DWORD id = object->WaitForStart();
  if (thread_id != nullptr) *thread_id = id;
  return xp::InsertHandle(std::move(object));
}
