// Ownership of a machine-wide named mutex within this process: re-entrant for the owning thread, one exclusive
// flock on the owner file on the process's behalf, and abandonment when the owning thread ends.
#include "named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "xp/debug.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

using Clock = std::chrono::steady_clock;

// The mutexes the calling thread owns; when the thread ends they are abandoned.
class ThreadOwnership {
 public:
  ~ThreadOwnership() { AbandonAll(); }
  void AbandonAll() {
    const DWORD me = CurrentThreadId();
    for (const std::shared_ptr<NamedMutex>& mutex : owned_) mutex->AbandonIfOwnedBy(me);
    owned_.clear();
  }
  void Add(std::shared_ptr<NamedMutex> mutex) { owned_.push_back(std::move(mutex)); }
  void Remove(const NamedMutex* mutex) {
    owned_.erase(std::remove_if(owned_.begin(), owned_.end(), [&](const auto& m) { return m.get() == mutex; }),
                 owned_.end());
  }

 private:
  std::vector<std::shared_ptr<NamedMutex>> owned_;
};

ThreadOwnership& OwnedByThisThread() {
  thread_local ThreadOwnership owned;
  return owned;
}

// Takes the exclusive lock of the owner file: blocking for INFINITE, else polled until the deadline.
bool LockOwnerFile(int fd, DWORD timeout_ms, Clock::time_point deadline) {
  if (timeout_ms == INFINITE) {
    while (::flock(fd, LOCK_EX) != 0) {
      if (errno != EINTR) return false;
    }
    return true;
  }
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

}  // namespace

void AbandonThreadMutexes() { OwnedByThisThread().AbandonAll(); }

NamedMutex::~NamedMutex() {
  if (owner_fd_ >= 0) ::close(owner_fd_);
}

DWORD NamedMutex::Acquire(DWORD timeout_ms) {
  const DWORD me = CurrentThreadId();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::unique_lock<std::mutex> lock(mutex_);
  if (owner_thread_ == me) {
    ++recursion_;
    return WAIT_OBJECT_0;
  }
  // Threads of this process queue here; the first one free goes on to compete with other processes.
  const auto free = [this] { return owner_thread_ == 0 && !acquiring_; };
  if (timeout_ms == INFINITE) {
    changed_.wait(lock, free);
  } else if (!changed_.wait_until(lock, deadline, free)) {
    return WAIT_TIMEOUT;
  }
  acquiring_ = true;
  lock.unlock();

  const int fd = ::open(owner_file_.c_str(), O_RDWR | O_CLOEXEC);
  const bool locked = fd >= 0 && LockOwnerFile(fd, timeout_ms, deadline);
  const int lock_errno = errno;

  lock.lock();
  acquiring_ = false;
  changed_.notify_all();
  if (locked) return BecomeOwner(fd);
  if (fd >= 0) ::close(fd);
  if (fd < 0 || (lock_errno != EWOULDBLOCK && lock_errno != EINTR)) {
    XP_ERR("WaitForSingleObject", "%s: %s", owner_file_.c_str(), std::strerror(lock_errno));
    SetLastError(ERROR_GEN_FAILURE);
    return WAIT_FAILED;
  }
  return WAIT_TIMEOUT;
}

void NamedMutex::TakeAtCreation() {
  const int fd = ::open(owner_file_.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    XP_ERR("CreateMutexA", "cannot own fresh %s: %s", owner_file_.c_str(), std::strerror(errno));
    if (fd >= 0) ::close(fd);
    return;
  }
  const std::lock_guard<std::mutex> lock(mutex_);
  BecomeOwner(fd);
}

// With mutex_ held and the owner file's lock taken through fd.
DWORD NamedMutex::BecomeOwner(int fd) {
  char previous[64];
  const bool abandoned = ::pread(fd, previous, sizeof previous, 0) > 0;
  // Written over the old text, then cut to length: the file is never empty while owned.
  const std::string owner = std::to_string(::getpid()) + " " + std::to_string(CurrentThreadId()) + "\n";
  if (::pwrite(fd, owner.data(), owner.size(), 0) != static_cast<ssize_t>(owner.size()) ||
      ::ftruncate(fd, static_cast<off_t>(owner.size())) != 0) {
    XP_ERR("NamedMutex", "cannot record the owner in %s: %s", owner_file_.c_str(), std::strerror(errno));
  }
  owner_fd_ = fd;
  owner_thread_ = CurrentThreadId();
  recursion_ = 1;
  OwnedByThisThread().Add(shared_from_this());
  return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
}

bool NamedMutex::Release() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (owner_thread_ != CurrentThreadId()) return false;
  if (--recursion_ > 0) return true;
  // Cleared before the lock goes, so the next owner does not take it for abandoned.
  if (::ftruncate(owner_fd_, 0) != 0) {
    XP_ERR("ReleaseMutex", "cannot clear %s: %s", owner_file_.c_str(), std::strerror(errno));
  }
  ::close(owner_fd_);
  owner_fd_ = -1;
  owner_thread_ = 0;
  changed_.notify_all();
  lock.unlock();
  OwnedByThisThread().Remove(this);  // may drop the last reference to *this: nothing after it
  return true;
}

void NamedMutex::AbandonIfOwnedBy(DWORD thread_id) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (owner_thread_ != thread_id) return;
  ::close(owner_fd_);
  owner_fd_ = -1;
  owner_thread_ = 0;
  recursion_ = 0;
  changed_.notify_all();
}

MutexHandle::~MutexHandle() {
  if (handles_fd_ >= 0) ::close(handles_fd_);
}

DWORD MutexHandle::OnClose() {
  // Ownership stays: on XP closing a handle does not release the mutex.
  ::close(handles_fd_);
  handles_fd_ = -1;
  return 0;
}

}  // namespace xp::kernel32
