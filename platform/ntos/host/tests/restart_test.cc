// The kernel host across the ends of its life: a clean stop writes the cache back, so every byte a program wrote
// is there after the restart; a power loss keeps only what was flushed or written through; a host that died is
// noticed and replaced, never silently; and a side store that fails fails the request, not the host.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "built_programs.h"
#include "fileapi.h"
#include "host_control.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/faults.h"
#include "xp/kernel_protocol.h"
#include "xp/processes.h"

namespace xp::ntos::host::testing {
namespace {

namespace fs = std::filesystem;
using machine::Fault;
using machine::FaultAction;

std::string HostFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string ReadThroughMachine(const char* path) {
  const HANDLE file =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<error " + std::to_string(GetLastError()) + ">";
  char buffer[256];
  DWORD got = 0;
  std::string content;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0) content.append(buffer, got);
  CloseHandle(file);
  return content;
}

bool WriteThroughMachine(const char* path, const std::string& data, DWORD flags = 0, bool flush = false) {
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool done = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                    (!flush || FlushFileBuffers(file));
  return CloseHandle(file) && done;
}

std::vector<std::string> Journal(const fs::path& root) {
  std::ifstream in(root / "journal.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Journaled(const fs::path& root, const std::string& what) {
  for (const std::string& line : Journal(root)) {
    if (line.find(what) != std::string::npos) return true;
  }
  return false;
}

class RestartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(StartKernelHost(xp::test::BuildProgram("xp_ntoshost"), machine_.root(), &error)) << error;
  }
  void Restart() {
    std::string error;
    ASSERT_TRUE(StopKernelHost(machine_.root(), &error)) << error;
    ASSERT_TRUE(StartKernelHost(xp::test::BuildProgram("xp_ntoshost"), machine_.root(), &error)) << error;
  }
  fs::path Drive(const std::string& relative) const { return machine_.root() / "drives" / "C" / relative; }

  xp::test::ScratchMachine machine_;
};

// The bytes stay in the cache until the lazy writer or the stop writes them, after the last handle went.
TEST_F(RestartTest, WhatProgramsWroteThroughTheCacheIsThereAfterARestart) {
  ASSERT_TRUE(WriteThroughMachine("C:\\w.txt", "hello-write"));
  FILE* stream = std::fopen("C:\\s.txt", "w");
  ASSERT_NE(stream, nullptr);
  std::fputs("hello-stream\n", stream);
  ASSERT_EQ(std::fclose(stream), 0);
  Restart();
  EXPECT_EQ(ReadThroughMachine("C:\\w.txt"), "hello-write");
  EXPECT_EQ(ReadThroughMachine("C:\\s.txt"), "hello-stream\r\n");
  EXPECT_EQ(HostFile(Drive("w.txt")), "hello-write");
  Restart();
  EXPECT_EQ(ReadThroughMachine("C:\\w.txt"), "hello-write");
}

TEST_F(RestartTest, APowerLossKeepsOnlyWhatWasFlushedOrWrittenThrough) {
  ASSERT_TRUE(WriteThroughMachine("C:\\flushed.txt", "flushed", 0, /*flush=*/true));
  ASSERT_TRUE(WriteThroughMachine("C:\\through.txt", "written through", FILE_FLAG_WRITE_THROUGH));
  machine::ArmFault(Fault{FaultAction::kPowerLoss, "kernel:write", 1, 1, 0, "lost.txt"});
  // The write reaches the cache, and the power goes before anything else happens.
  const HANDLE lost = CreateFileA("C:\\lost.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(lost, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(lost, "never on the disk", 17, &written, nullptr);
  machine::ClearFaults();
  EXPECT_FALSE(KernelHostAnswers(machine_.root()));
  EXPECT_TRUE(Journaled(machine_.root(), "power off"));
  // The handle went with the kernel it came from; the next call finds a new kernel.
  EXPECT_FALSE(WriteFile(lost, "x", 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  CloseHandle(lost);
  EXPECT_EQ(ReadThroughMachine("C:\\flushed.txt"), "flushed");
  EXPECT_EQ(ReadThroughMachine("C:\\through.txt"), "written through");
  EXPECT_EQ(ReadThroughMachine("C:\\lost.txt").find("never"), std::string::npos);
  EXPECT_TRUE(Journaled(machine_.root(), "had ended without shutting down"));
}

// Whoever waits for a program of the machine learns of its end only once the kernel has ended too: a waiter woken
// earlier would read through the dying kernel, and its read would fail as the kernel went.
TEST_F(RestartTest, APowerLossEndsTheKernelBeforeAnyProgramIsSeenToEnd) {
  machine::LaunchedProcess sleeper;
  ASSERT_EQ(machine::LaunchProcess({"/bin/sleep", "C:\\sleep.exe", {"sleep", "60"}, "Administrator", ""}, &sleeper), 0);
  machine::ArmFault(Fault{FaultAction::kPowerLoss, "kernel:write", 1, 1, 0, "lost.txt"});
  WriteThroughMachine("C:\\lost.txt", "never on the disk");
  machine::ClearFaults();
  int status = 0;
  ASSERT_EQ(::waitpid(sleeper.host_pid, &status, 0), sleeper.host_pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  const int lock = ::open(kernel_host::HostLockPath(machine_.root()).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(lock, 0);
  EXPECT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0) << "the program was seen to end while the kernel still ran";
  ::close(lock);
  EXPECT_EQ(ReadThroughMachine("C:\\lost.txt").find("never"), std::string::npos);
}

TEST_F(RestartTest, AHostThatDiedIsNoticedAndReplaced) {
  ASSERT_TRUE(WriteThroughMachine("C:\\before.txt", "before", 0, /*flush=*/true));
  std::ifstream pid_file(machine_.root() / "kernel" / "pid");
  pid_t dead = 0;
  ASSERT_TRUE(pid_file >> dead);
  ASSERT_EQ(::kill(dead, SIGKILL), 0);
  for (int i = 0; i < 1000 && KernelHostAnswers(machine_.root()); ++i) ::usleep(1000);
  // Its socket and pid file are left behind; the next program's call starts a new host and says so.
  EXPECT_EQ(ReadThroughMachine("C:\\before.txt"), "before");
  EXPECT_TRUE(Journaled(machine_.root(), "kernel host " + std::to_string(dead) + " had ended without shutting down"));
  std::ifstream new_pid_file(machine_.root() / "kernel" / "pid");
  pid_t replacement = 0;
  ASSERT_TRUE(new_pid_file >> replacement);
  EXPECT_NE(replacement, dead);
}

TEST_F(RestartTest, ASideStoreFailureFailsTheRequestAndNothingElse) {
  ASSERT_TRUE(WriteThroughMachine("C:\\a.txt", "a"));
  ASSERT_TRUE(WriteThroughMachine("C:\\b.txt", "b"));
  constexpr uint32_t kSqliteBusy = 5;
  constexpr uint32_t kSqliteIoError = 10;
  machine::ArmFault(Fault{FaultAction::kFail, "side-store", 1, 1, kSqliteBusy, "INSERT OR REPLACE INTO files"});
  EXPECT_FALSE(SetFileAttributesA("C:\\a.txt", FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
  EXPECT_EQ(GetFileAttributesA("C:\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_TRUE(SetFileAttributesA("C:\\a.txt", FILE_ATTRIBUTE_HIDDEN));

  // The rename's transaction fails halfway: it is rolled back, both files stay as they were, and the next
  // rename (a transaction of its own) goes through.
  machine::ArmFault(Fault{FaultAction::kFail, "side-store", 1, 1, kSqliteIoError, "UPDATE files SET path = ?2"});
  EXPECT_FALSE(MoveFileExA("C:\\a.txt", "C:\\b.txt", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_DEVICE));
  machine::ClearFaults();
  EXPECT_TRUE(KernelHostAnswers(machine_.root()));
  EXPECT_EQ(ReadThroughMachine("C:\\a.txt"), "a");
  EXPECT_EQ(ReadThroughMachine("C:\\b.txt"), "b");
  EXPECT_EQ(GetFileAttributesA("C:\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(MoveFileExA("C:\\a.txt", "C:\\b.txt", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadThroughMachine("C:\\b.txt"), "a");
  EXPECT_EQ(GetFileAttributesA("C:\\b.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
}

}  // namespace
}  // namespace xp::ntos::host::testing
