// One kernel for the whole machine: what one program does to a file (its share mode, its writes, the space it
// takes) holds for every other program, a replacing rename goes through while only the cache still holds the
// target, and the disk is the truth: a file a person changed while the machine was stopped is read as it is.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>

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

// A program reading a file from start to end while another program changes the part it has not read yet, or the
// host stops under it: each read returns what the file holds at that moment, never what it held before.
TEST_F(OneKernelTest, ASequentialReadSeesWhatHappensToTheFileMeanwhile) {
  constexpr DWORD kMiB = 1 << 20;
  struct Case {
    const char* what;
    std::function<bool(HANDLE)> change;  // run by another program on its own handle
    std::string third_piece;             // what the third 1 MiB read returns
    bool host_stops;
  };
  const Case cases[] = {
      {"overwritten ahead", [](HANDLE file) {
         DWORD done = 0;
         return SetFilePointer(file, 2 * kMiB, nullptr, FILE_BEGIN) == 2 * kMiB &&
                WriteFile(file, "changed", 7, &done, nullptr) && done == 7;
       },
       "changed" + std::string(kMiB - 7, 'a'), false},
      {"cut short", [](HANDLE file) {
         return SetFilePointer(file, 2 * kMiB + 10, nullptr, FILE_BEGIN) == 2 * kMiB + 10 && SetEndOfFile(file);
       },
       std::string(10, 'a'), false},
      {"host stopped", nullptr, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MakeFile("C:\\read.bin", std::string(3 * kMiB, 'a'));
    const HANDLE file = CreateFileA("C:\\read.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::string piece(kMiB, '\0');
    DWORD got = 0;
    // The second read follows on from the first: the one after it may already lie in this program.
    for (int i = 0; i < 2; ++i) {
      ASSERT_TRUE(ReadFile(file, piece.data(), kMiB, &got, nullptr));
      ASSERT_EQ(got, kMiB);
    }
    if (c.host_stops) {
      machine_.StopKernel();
    } else {
      const pid_t other = ::fork();
      if (other == 0) {
        const HANDLE own = CreateFileA("C:\\read.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
        ::_exit(own != INVALID_HANDLE_VALUE && c.change(own) && CloseHandle(own) ? 0 : 1);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(other, &status, 0), other);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const BOOL read = ReadFile(file, piece.data(), kMiB, &got, nullptr);
    if (c.host_stops) {
      EXPECT_FALSE(read);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    } else {
      ASSERT_TRUE(read);
      EXPECT_EQ(got, c.third_piece.size());
      EXPECT_TRUE(piece.compare(0, got, c.third_piece) == 0);
    }
    CloseHandle(file);
    DeleteFileA("C:\\read.bin");
  }
}

}  // namespace
}  // namespace xp::kernel32::testing
