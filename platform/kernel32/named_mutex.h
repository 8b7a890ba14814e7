// Machine-wide named mutexes. Per name, under DIR/objects/mutex/:
//   <name>.create     held exclusively while a handle is being opened, so "exists?" and "open" are one step;
//   <name>.handles    every open handle in every process holds a shared flock on it: the name exists while one
//                     is held (a fresh exclusive attempt fails);
//   <name>.gen        the incarnation number, raised whenever the name is created anew;
//   <name>.owner.<gen> the owning process holds an exclusive flock on it for its owning thread and keeps "pid tid"
//                     in it; a new owner that finds it non-empty knows the last owner died holding it (abandoned).
// flocks die with their process, so a killed process leaves nothing held.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "kernel32_private.h"

namespace xp::kernel32 {

// This process's view of one incarnation of a named mutex: which of its threads owns it and how often.
class NamedMutex : public std::enable_shared_from_this<NamedMutex> {
 public:
  explicit NamedMutex(std::filesystem::path owner_file) : owner_file_(std::move(owner_file)) {}
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // WAIT_OBJECT_0, WAIT_ABANDONED or WAIT_TIMEOUT; at once, recursion + 1, for the owning thread.
  DWORD Acquire(DWORD timeout_ms);
  // Ownership for the thread that creates the name; nobody else can hold the fresh owner file.
  void TakeAtCreation();
  // False when the calling thread does not own the mutex.
  bool Release();
  // Gives up ownership without clearing the owner file, so the next owner sees WAIT_ABANDONED.
  void AbandonIfOwnedBy(DWORD thread_id);

 private:
  DWORD BecomeOwner(int fd);

  const std::filesystem::path owner_file_;
  std::mutex mutex_;
  std::condition_variable changed_;
  DWORD owner_thread_ = 0;  // 0: no thread of this process owns it
  DWORD recursion_ = 0;
  int owner_fd_ = -1;       // holds the flock while a thread of this process owns the mutex
  bool acquiring_ = false;  // one thread of this process at a time waits for the owner file's lock
};

// One handle to a named mutex: counts as an open handle machine-wide until it is closed.
class MutexHandle : public Waitable {
 public:
  MutexHandle(std::shared_ptr<NamedMutex> mutex, int handles_fd) : mutex_(std::move(mutex)), handles_fd_(handles_fd) {}
  ~MutexHandle() override;

  NamedMutex& mutex() { return *mutex_; }
  DWORD Wait(DWORD timeout_ms) override { return mutex_->Acquire(timeout_ms); }
  DWORD OnClose() override;

 private:
  std::shared_ptr<NamedMutex> mutex_;
  int handles_fd_;
};

struct OpenedMutex {
  std::shared_ptr<MutexHandle> handle;  // nullptr on failure, with `error` set
  bool existed = false;
  DWORD error = 0;
};
// Opens a handle to the named mutex of the current machine, creating it (and owning it when asked) when no handle
// to the name is open in any process. Never waits for ownership.
OpenedMutex OpenNamedMutex(const std::string& name, bool initial_owner);

}  // namespace xp::kernel32
