// A request served for a program may touch only that program's buffers: under a UserBuffersScope every other
// user-mode address is refused, as another process's memory would be, and kernel-mode calls are unaffected.
#include <gtest/gtest.h>

#include <vector>

#include "scratch_machine.h"
#include "xp/ntos.h"

namespace xp::ntos::host::testing {
namespace {

class UserBuffersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kernel_ = std::make_unique<Kernel>(KernelOptions{machine_.root()});
    std::u16string name = u"\\??\\C:\\data.bin";
    UNICODE_STRING counted = NtName(name);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK io_status{};
    ASSERT_EQ(NtCreateFile(&file_, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &attributes, &io_status, nullptr, 0,
                           0, FILE_OVERWRITE_IF, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0),
              STATUS_SUCCESS);
    std::vector<uint8_t> data(64, 0x5A);
    LARGE_INTEGER at{};
    ASSERT_EQ(NtWriteFile(file_, nullptr, nullptr, nullptr, &io_status, data.data(), 64, &at, nullptr),
              STATUS_SUCCESS);
  }
  void TearDown() override { NtClose(file_); }

  NTSTATUS ReadInto(std::vector<uint8_t>& buffer, ULONG length) {
    IO_STATUS_BLOCK io_status{};
    LARGE_INTEGER at{};
    return NtReadFile(file_, nullptr, nullptr, nullptr, &io_status, buffer.data(), length, &at, nullptr);
  }

  xp::test::ScratchMachine machine_;
  std::unique_ptr<Kernel> kernel_;
  HANDLE file_ = nullptr;
};

TEST_F(UserBuffersTest, OnlyTheNamedBuffersAreTheProgramsMemory) {
  std::vector<uint8_t> given(64);
  std::vector<uint8_t> elsewhere(64);
  {
    UserBuffersScope scope({{given.data(), given.size()}});
    EXPECT_EQ(ReadInto(given, 64), STATUS_SUCCESS);
    EXPECT_EQ(given[63], 0x5A);
    EXPECT_EQ(ReadInto(elsewhere, 64), STATUS_ACCESS_VIOLATION);
    // A range that starts inside the buffer but runs past its end is not the program's either.
    EXPECT_EQ(ReadInto(given, 65), STATUS_ACCESS_VIOLATION);
    EXPECT_EQ(elsewhere[0], 0);
  }
  EXPECT_EQ(ReadInto(elsewhere, 64), STATUS_SUCCESS);
}

}  // namespace
}  // namespace xp::ntos::host::testing
