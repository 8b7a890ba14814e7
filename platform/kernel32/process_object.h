// What kernel32's process and thread handles refer to: a process of the machine table, with the rights the handle
// was opened with. Waiting on either waits for the process to end; the thread handle stands for its first thread.
#pragma once

#include <sys/types.h>

#include <memory>

#include "kernel32_private.h"

namespace xp::kernel32 {

class ProcessObject : public Waitable {
 public:
  // host_child: the host pid when this process started it (to be reaped once it ended), else 0.
  ProcessObject(uint32_t pid, DWORD access, pid_t host_child) : pid_(pid), access_(access), host_child_(host_child) {}

  uint32_t pid() const { return pid_; }
  DWORD access() const { return access_; }
  DWORD Wait(DWORD timeout_ms) override;
  DWORD OnClose() override;

 private:
  const uint32_t pid_;
  const DWORD access_;
  const pid_t host_child_;
};

class ProcessThreadObject : public Waitable {
 public:
  explicit ProcessThreadObject(std::shared_ptr<ProcessObject> process) : process_(std::move(process)) {}
  DWORD Wait(DWORD timeout_ms) override { return process_->Wait(timeout_ms); }

 private:
  std::shared_ptr<ProcessObject> process_;
};

// Collects the ended children this process started, so none lingers as a zombie.
void ReapEndedChildren();
// Remembers a child to reap.
void AddChild(pid_t host_pid);

}  // namespace xp::kernel32
