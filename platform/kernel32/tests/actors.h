// Actors for mutex tests: a thread of this process or a helper process, each running mutex_script commands, so a
// table of steps can say who does what.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "mutex_script.h"

namespace xp::kernel32::testing {

class Actor {
 public:
  virtual ~Actor() = default;
  // Starts a command; its answer is collected by Receive.
  virtual void Send(const std::string& command) = 0;
  // The next answer; "timed out" after 20 s so a hang fails the test instead of stalling it.
  virtual std::string Receive() = 0;
  // Ends the actor at once while it holds what it holds: the thread returns, the process is killed.
  virtual void End() = 0;

  std::string Run(const std::string& command) {
    Send(command);
    return Receive();
  }
};

class ThreadActor : public Actor {
 public:
  ThreadActor();
  ~ThreadActor() override;
  void Send(const std::string& command) override;
  std::string Receive() override;
  void End() override;

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> commands_;
  std::deque<std::string> answers_;
  bool ending_ = false;
  std::thread thread_;
};

// Runs xp_kernel32_mutex_actor, built beside the test program.
class ProcessActor : public Actor {
 public:
  ProcessActor();
  ~ProcessActor() override;
  void Send(const std::string& command) override;
  std::string Receive() override;
  void End() override;

 private:
  pid_t pid_ = -1;
  int to_child_ = -1;
  int from_child_ = -1;
  std::string pending_;
};

}  // namespace xp::kernel32::testing
