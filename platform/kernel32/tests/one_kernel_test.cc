// One kernel for the whole machine: what one program does to a file (its share mode, its writes, the space it
// takes) holds for every other program, a replacing rename goes through while only the cache still holds the
// target, and the disk is the truth: a file a person changed while the machine was stopped is read as it is.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "built_programs.h"
#include "files_fixture.h"
#include "program_dialogue.h"

namespace xp::kernel32::testing {
namespace {

using OneKernelTest = FilesTest;

uint64_t FreeBytes(const char* root) {
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  ULARGE_INTEGER free{};
  EXPECT_TRUE(GetDiskFreeSpaceExA(root, &available, &total, &free));
  return free.QuadPart;
}

TEST_F(OneKernelTest, AnotherProgramsShareModeAndWritesHoldHere) {
  CreateDirectoryA("C:\\Data", nullptr);
  MakeFile("C:\\Data\\f.bin", "original;");
  // file_holder holds the file without sharing, says "held" and appends each line it is given.
  test::ProgramDialogue holder(xp::test::BuildProgram("xp_kernel32_file_holder"), {"C:\\Data\\f.bin"});
  ASSERT_EQ(holder.ReadLine(), "held\n");
  const HANDLE refused = CreateFileA("C:\\Data\\f.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(refused, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(DeleteFileA("C:\\Data\\f.bin"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(MoveFileA("C:\\Data\\f.bin", "C:\\Data\\g.bin"));
  holder.Write("appended\n");
  EXPECT_EQ(holder.End(), 0);
  EXPECT_EQ(ReadAll("C:\\Data\\f.bin"), "original;appended\n");
}

TEST_F(OneKernelTest, EveryProgramsWritesAreChargedToTheOneVolume) {
  const uint64_t before = FreeBytes("C:\\");
  constexpr int kChunks = 25;
  constexpr int kChunkSize = 1 << 20;
  const int first = StartWriter("C:\\first.bin", kChunks, kChunkSize);
  const int second = StartWriter("C:\\second.bin", kChunks, kChunkSize);
  for (const int pid : {first, second}) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(before - FreeBytes("C:\\"), uint64_t{2} * kChunks * kChunkSize);
  EXPECT_EQ(ReadAll("C:\\second.bin").size(), static_cast<size_t>(kChunks) * kChunkSize);
}

// The target was just written and closed: only the cache holds it. The replace takes it, data and all, and what
// the cache held for it never reaches the disk afterwards.
TEST_F(OneKernelTest, AReplacingRenameTakesATargetOnlyTheCacheHolds) {
  MakeFile("C:\\state", "old state, still cached");
  MakeFile("C:\\state.new", "new");
  ASSERT_TRUE(MoveFileExA("C:\\state.new", "C:\\state", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      << GetLastError();
  EXPECT_EQ(ReadAll("C:\\state"), "new");
  EXPECT_EQ(HostText("C:\\state"), "new");
  EXPECT_EQ(GetFileAttributesA("C:\\state.new"), INVALID_FILE_ATTRIBUTES);

  MakeFile("C:\\state.new", "newer");
  const HANDLE open = CreateFileA("C:\\state", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(MoveFileExA("C:\\state.new", "C:\\state", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(open);
  EXPECT_EQ(ReadAll("C:\\state"), "new");
}

// A person edits files in the drive folders while the machine is stopped: one made longer, one replaced by
// another file. The machine had opened both (and set an attribute on one); it reads them as they now are.
TEST_F(OneKernelTest, AFileChangedOnTheHostIsReadAsItIs) {
  MakeFile("C:\\grown.txt", "short");
  MakeFile("C:\\replaced.txt", "first file");
  ASSERT_TRUE(SetFileAttributesA("C:\\replaced.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(ReadAll("C:\\grown.txt"), "short");
  machine_.StopKernel();

  std::ofstream(Host("C:\\grown.txt"), std::ios::app) << " and then much longer";
  std::filesystem::remove(Host("C:\\replaced.txt"));
  PutHostFile("C:\\replaced.txt", "other file");
  EXPECT_EQ(ReadAll("C:\\grown.txt"), "short and then much longer");
  EXPECT_EQ(ReadAll("C:\\replaced.txt"), "other file");
  EXPECT_EQ(GetFileAttributesA("C:\\replaced.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  // The machine's own attributes of a file it was not told about stay the machine's.
  MakeFile("C:\\kept.txt", "kept");
  ASSERT_TRUE(SetFileAttributesA("C:\\kept.txt", FILE_ATTRIBUTE_HIDDEN));
  machine_.StopKernel();
  EXPECT_EQ(GetFileAttributesA("C:\\kept.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
}

}  // namespace
}  // namespace xp::kernel32::testing
