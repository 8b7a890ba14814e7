// The kernel host as a booted machine's programs meet it: one host per machine, handles that belong to the
// connection that opened them, a program's files closed when it goes away, kernel32's calls landing in the host's
// kernel, long reads in pieces, driver services, and the cache written back when the host is stopped.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "built_programs.h"
#include "fileapi.h"
#include "host_connection.h"
#include "host_control.h"
#include "scratch_machine.h"
#include "windows.h"
#include "winioctl.h"
#include "xp/ntos.h"
#include "xp/registry.h"

namespace xp::ntos::host::testing {
namespace {

namespace fs = std::filesystem;
using kernel_host::Op;

constexpr uint32_t kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

std::string HostFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(StartKernelHost(xp::test::BuildProgram("xp_ntoshost"), machine_.root(), &error)) << error;
  }
  void TearDown() override {
    std::string error;
    if (KernelHostAnswers(machine_.root())) {
      EXPECT_TRUE(StopKernelHost(machine_.root(), &error)) << error;
    }
    // The host is another process: what its sanitizers found is only in its log.
    const std::string log = HostFile(machine_.root() / "kernel" / "host.log");
    EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
    EXPECT_EQ(log.find("runtime error"), std::string::npos) << log;
  }

  fs::path Drive(const std::string& relative) const { return machine_.root() / "drives" / "C" / relative; }

  xp::test::ScratchMachine machine_;
};

TEST_F(HostTest, OneHostPerMachineAndStopRemovesIt) {
  std::string error;
  EXPECT_FALSE(StartKernelHost(xp::test::BuildProgram("xp_ntoshost"), machine_.root(), &error));
  EXPECT_EQ(error, "the machine's kernel already runs");
  ASSERT_TRUE(StopKernelHost(machine_.root(), &error)) << error;
  EXPECT_FALSE(KernelHostAnswers(machine_.root()));
  EXPECT_FALSE(fs::exists(machine_.root() / "kernel" / "socket"));
  EXPECT_FALSE(fs::exists(machine_.root() / "kernel" / "pid"));
  EXPECT_FALSE(StopKernelHost(machine_.root(), &error));
  EXPECT_EQ(error, "the machine's kernel is not running");
}

TEST(HostStart, AHostThatCannotBootIsReported) {
  const fs::path folder = fs::temp_directory_path() / ("not-a-machine-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  std::string error;
  EXPECT_FALSE(StartKernelHost(xp::test::BuildProgram("xp_ntoshost"), folder, &error));
  EXPECT_NE(error.find("the kernel did not come up"), std::string::npos) << error;
  EXPECT_NE(HostFile(folder / "kernel" / "host.log").find("is not a machine"), std::string::npos);
  fs::remove_all(folder);
}

TEST_F(HostTest, HandlesBelongToTheConnectionThatOpenedThem) {
  HostConnection owner(machine_.root());
  HostConnection other(machine_.root());
  const Answer opened = owner.Open(u"\\??\\C:\\mine.txt", kShareAll, FILE_OVERWRITE_IF);
  ASSERT_EQ(opened.reply.status, STATUS_SUCCESS);
  ASSERT_EQ(owner.Write(opened.reply.handle, "secret").reply.status, STATUS_SUCCESS);
  EXPECT_EQ(other.Read(opened.reply.handle, 6).reply.status, STATUS_INVALID_HANDLE);
  kernel_host::Request close;
  close.op = Op::kClose;
  close.handle = opened.reply.handle;
  EXPECT_EQ(other.Call(close).reply.status, STATUS_INVALID_HANDLE);
  const Answer read = owner.Read(opened.reply.handle, 6);
  ASSERT_EQ(read.reply.status, STATUS_SUCCESS);
  EXPECT_EQ(std::string(read.payload.begin(), read.payload.end()), "secret");
}

TEST_F(HostTest, FilesOfAProgramThatWentAwayAreClosed) {
  HostConnection first(machine_.root());
  HostConnection second(machine_.root());
  ASSERT_EQ(first.Open(u"\\??\\C:\\locked.txt", 0, FILE_OVERWRITE_IF).reply.status, STATUS_SUCCESS);
  EXPECT_EQ(second.Open(u"\\??\\C:\\locked.txt", kShareAll, FILE_OPEN).reply.status, STATUS_SHARING_VIOLATION);
  first.Disconnect();
  EXPECT_EQ(second.Open(u"\\??\\C:\\locked.txt", kShareAll, FILE_OPEN).reply.status, STATUS_SUCCESS);
}

TEST_F(HostTest, AnOversizedRequestEndsOnlyItsConnection) {
  HostConnection rogue(machine_.root());
  HostConnection good(machine_.root());
  kernel_host::Request read;
  read.op = Op::kRead;
  read.length = kernel_host::kMaxPayload + 1;
  EXPECT_FALSE(rogue.Call(read).delivered);
  kernel_host::Request hello;
  EXPECT_EQ(good.Call(hello).reply.status, STATUS_SUCCESS);
}

// kernel32 in this process reaches the host: a file it holds open without sharing is locked for every other
// program of the machine, and what it writes is there for them before anything reaches the disk.
TEST_F(HostTest, Kernel32CallsLandInTheHostKernel) {
  const HANDLE file = CreateFileA("C:\\shared.txt", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, "through the host", 16, &written, nullptr));
  HostConnection other(machine_.root());
  EXPECT_EQ(other.Open(u"\\??\\C:\\shared.txt", kShareAll, FILE_OPEN).reply.status, STATUS_SHARING_VIOLATION);
  kernel_host::Request open;
  open.op = Op::kOpen;
  open.access = GENERIC_READ | SYNCHRONIZE;
  open.share = kShareAll;
  open.disposition = FILE_OPEN;
  open.options = FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE;
  const Answer reader = other.Call(open, Utf16Bytes(u"\\??\\C:\\shared.txt"));
  ASSERT_EQ(reader.reply.status, STATUS_SUCCESS);
  const Answer read = other.Read(reader.reply.handle, 64);
  EXPECT_EQ(std::string(read.payload.begin(), read.payload.end()), "through the host");
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(HostTest, FileSystemControlsAndAttributesGoThroughTheHost) {
  const HANDLE file = CreateFileA("C:\\sparse.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                  nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD returned = 0;
  EXPECT_TRUE(DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr));
  EXPECT_TRUE(CloseHandle(file));
  const DWORD attributes = GetFileAttributesA("C:\\sparse.bin");
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_SPARSE_FILE, 0u);
}

TEST_F(HostTest, LongReadsAndWritesGoInPieces) {
  std::string data(kernel_host::kMaxPayload * 2 + 1000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 4096);
  const HANDLE file = CreateFileA("C:\\long.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &done, nullptr));
  EXPECT_EQ(done, data.size());
  ASSERT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), 0u);
  std::string back(data.size() + 10, '\0');
  ASSERT_TRUE(ReadFile(file, back.data(), static_cast<DWORD>(back.size()), &done, nullptr));
  EXPECT_EQ(done, data.size());
  back.resize(done);
  EXPECT_TRUE(back == data);
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(HostTest, StoppingTheHostWritesItsCacheBack) {
  HostConnection program(machine_.root());
  const Answer opened = program.Open(u"\\??\\C:\\cached.txt", kShareAll, FILE_OVERWRITE_IF);
  ASSERT_EQ(opened.reply.status, STATUS_SUCCESS);
  ASSERT_EQ(program.Write(opened.reply.handle, "kept across the stop").reply.status, STATUS_SUCCESS);
  std::string error;
  ASSERT_TRUE(StopKernelHost(machine_.root(), &error)) << error;
  EXPECT_EQ(HostFile(Drive("cached.txt")), "kept across the stop");
}

TEST_F(HostTest, DriverServicesStartAndStopInTheHostKernel) {
  fs::create_directories(Drive("WINDOWS/system32/drivers"));
  fs::copy_file(xp::test::BuildProgram("xp_ntos_test_driver"), Drive("WINDOWS/system32/drivers/xptest.sys"));
  registry::KeyId key = 0;
  ASSERT_EQ(registry::CreateKey(registry::kMachineKey, u"SYSTEM\\CurrentControlSet\\Services\\XpTest", &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(registry::SetValue(key, u"Type", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
  HostConnection program(machine_.root());
  EXPECT_EQ(program.Service(Op::kLoadDriver, u"XpTest").reply.status, STATUS_SUCCESS);
  EXPECT_EQ(program.Service(Op::kLoadDriver, u"xptest").reply.status, STATUS_IMAGE_ALREADY_LOADED);
  EXPECT_EQ(program.Service(Op::kDriverRunning, u"XPTEST").reply.information, 1u);
  // The kernel's own drivers have no service key: no program can stop them.
  EXPECT_EQ(program.Service(Op::kUnloadDriver, u"ModelFs").reply.status, STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(program.Service(Op::kUnloadDriver, u"XpTest").reply.status, STATUS_SUCCESS);
  EXPECT_EQ(program.Service(Op::kDriverRunning, u"XpTest").reply.information, 0u);
}

}  // namespace
}  // namespace xp::ntos::host::testing
