// Faults on purpose in the file calls: a failing nth call (optionally on a path), short reads and writes, and a
// program that ends at once after its nth write, leaving on disk exactly what it had written.
#include <sys/wait.h>

#include <csignal>

#include "files_fixture.h"
#include "xp/faults.h"

namespace xp::kernel32::testing {
namespace {

using FaultsTest = FilesTest;

machine::Fault Fail(const std::string& operation, uint32_t nth, uint32_t error, const std::string& path = "") {
  machine::Fault fault;
  fault.operation = operation;
  fault.nth = nth;
  fault.error = error;
  fault.path_contains = path;
  return fault;
}

TEST_F(FaultsTest, TheNthCallOnAPathFails) {
  MakeFile("C:\\a.txt", "a");
  MakeFile("C:\\b.txt", "b");
  machine::ArmFault(Fail("MoveFileA", 2, ERROR_SHARING_VIOLATION, "c:\\B"));
  EXPECT_TRUE(MoveFileA("C:\\b.txt", "C:\\b1.txt"));
  EXPECT_TRUE(MoveFileA("C:\\a.txt", "C:\\a1.txt"));  // another path: not counted
  SetLastError(0);
  EXPECT_FALSE(MoveFileA("C:\\b1.txt", "C:\\b.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(ReadAll("C:\\b1.txt"), "b");
  EXPECT_TRUE(MoveFileA("C:\\b1.txt", "C:\\b.txt"));
}

TEST_F(FaultsTest, WritesAndReadsFailOrComeUpShort) {
  machine::ArmFault(Fail("WriteFile", 2, ERROR_DISK_FULL));
  machine::ArmFault(Fail("WriteFile:short", 2, 0));  // counted by the calls that get past "WriteFile"
  const HANDLE out = CreateFileA("C:\\f.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(out, "12345678", 8, &written, nullptr));
  EXPECT_EQ(written, 8u);
  SetLastError(0);
  EXPECT_FALSE(WriteFile(out, "abcdefgh", 8, &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(WriteFile(out, "ABCDEFGH", 8, &written, nullptr));
  EXPECT_EQ(written, 4u);
  CloseHandle(out);
  EXPECT_EQ(HostText("C:\\f.bin"), "12345678ABCD");

  machine::ArmFault(Fail("ReadFile:short", 1, 0));
  machine::ArmFault(Fail("ReadFile", 3, ERROR_READ_FAULT, "f.bin"));
  const HANDLE in = CreateFileA("C:\\f.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  char buffer[16];
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(in, buffer, 10, &got, nullptr));
  EXPECT_EQ(std::string(buffer, got), "12345");
  EXPECT_TRUE(ReadFile(in, buffer, 10, &got, nullptr));
  EXPECT_EQ(std::string(buffer, got), "678ABCD");
  SetLastError(0);
  EXPECT_FALSE(ReadFile(in, buffer, 10, &got, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_READ_FAULT));
  CloseHandle(in);
}

// Runs the writer program in this machine to its end; its wait status.
int RunWriter(const std::string& path, int chunks, int size) {
  const pid_t pid = StartWriter(path, chunks, size);
  int status = 0;
  if (pid > 0) ::waitpid(pid, &status, 0);
  return status;
}

TEST_F(FaultsTest, ACrashAfterTheNthWriteKeepsWhatWasWritten) {
  machine::Fault crash = Fail("WriteFile", 3, 0, "crash.bin");
  crash.action = machine::FaultAction::kCrash;
  machine::ArmFault(crash);
  const int status = RunWriter("C:\\crash.bin", 5, 5000);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
  const std::string written = std::string(5000, '0') + std::string(5000, '1') + std::string(5000, '2');
  EXPECT_EQ(HostText("C:\\crash.bin"), written);
  EXPECT_EQ(ReadAll("C:\\crash.bin"), written);

  machine::ClearFaults();
  const int clean = RunWriter("C:\\crash.bin", 5, 5000);
  ASSERT_TRUE(WIFEXITED(clean) && WEXITSTATUS(clean) == 0) << clean;
  EXPECT_EQ(ReadAll("C:\\crash.bin").size(), 25000u);
}

}  // namespace
}  // namespace xp::kernel32::testing
