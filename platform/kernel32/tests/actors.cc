// Thread and process actors for the mutex tests.
#include "actors.h"
#include "built_programs.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

extern char** environ;

namespace xp::kernel32::testing {
namespace {

constexpr auto kAnswerTimeout = std::chrono::seconds(20);

}  // namespace

ThreadActor::ThreadActor() : thread_([this] { Loop(); }) {}

ThreadActor::~ThreadActor() { End(); }

void ThreadActor::Loop() {
  MutexSession session;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return ending_ || !commands_.empty(); });
    if (commands_.empty()) return;  // ending: the thread ends holding what it holds
    const std::string command = commands_.front();
    commands_.pop_front();
    lock.unlock();
    const std::string answer = session.Run(command);
    lock.lock();
    answers_.push_back(answer);
    changed_.notify_all();
  }
}

void ThreadActor::Send(const std::string& command) {
  const std::lock_guard<std::mutex> lock(mutex_);
  commands_.push_back(command);
  changed_.notify_all();
}

std::string ThreadActor::Receive() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!changed_.wait_for(lock, kAnswerTimeout, [this] { return !answers_.empty(); })) return "timed out";
  const std::string answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void ThreadActor::End() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

ProcessActor::ProcessActor() {
  int to_child[2];
  int from_child[2];
  if (::pipe2(to_child, O_CLOEXEC) != 0 || ::pipe2(from_child, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);
  const std::string program =
      xp::test::BuildProgram("xp_kernel32_mutex_actor");
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(to_child[0]);
  ::close(from_child[1]);
  to_child_ = to_child[1];
  from_child_ = from_child[0];
}

ProcessActor::~ProcessActor() {
  if (to_child_ >= 0) ::close(to_child_);  // end of input: the helper exits
  if (from_child_ >= 0) ::close(from_child_);
  if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
}

void ProcessActor::Send(const std::string& command) {
  const std::string line = command + "\n";
  if (::write(to_child_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) pending_ = "send failed\n";
}

std::string ProcessActor::Receive() {
  const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
  for (;;) {
    if (const size_t end = pending_.find('\n'); end != std::string::npos) {
      const std::string answer = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return answer;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd readable{from_child_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) return "timed out";
    char buffer[256];
    const ssize_t size = ::read(from_child_, buffer, sizeof buffer);
    if (size <= 0) return "helper ended";
    pending_.append(buffer, static_cast<size_t>(size));
  }
}

void ProcessActor::End() {
  Send("kill");
  if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace xp::kernel32::testing
