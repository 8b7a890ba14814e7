// Reading and writing through handles: short reads at the end of the file, the file pointer, sizes, truncation,
// flushing and the file times.
#include "files_fixture.h"

namespace xp::kernel32::testing {
namespace {

using IoTest = FilesTest;

TEST_F(IoTest, ReadsAreShortAtTheEndAndEmptyAfterIt) {
  MakeFile("C:\\hundred.bin", std::string(100, 'h'));
  const HANDLE file = CreateFileA("C:\\hundred.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char buffer[64];
  DWORD got = 99;
  for (DWORD expected : {64u, 36u, 0u, 0u}) {
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, expected);
  }
  CloseHandle(file);
}

TEST_F(IoTest, AHandleWithoutReadAccessCannotRead) {
  MakeFile("C:\\w.bin", "abc");
  const HANDLE file = CreateFileA("C:\\w.bin", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  char buffer[4];
  DWORD got = 7;
  SetLastError(0);
  EXPECT_FALSE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(got, 0u);
  CloseHandle(file);
  SetLastError(0);
  EXPECT_FALSE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(IoTest, FilePointerSizeAndEndOfFile) {
  const HANDLE file = CreateFileA("C:\\p.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(file, "0123456789", 10, &done, nullptr));
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 10u);
  EXPECT_EQ(SetFilePointer(file, -4, nullptr, FILE_END), 6u);
  char buffer[8] = {};
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), "6789");
  // Before the start: refused, the pointer stays.
  SetLastError(0);
  EXPECT_EQ(SetFilePointer(file, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 10u);
  // Past the end, then a write: the gap reads as zeros.
  LARGE_INTEGER far;
  far.QuadPart = 20;
  LARGE_INTEGER now{};
  ASSERT_TRUE(SetFilePointerEx(file, far, &now, FILE_BEGIN));
  EXPECT_EQ(now.QuadPart, 20);
  ASSERT_TRUE(WriteFile(file, "!", 1, &done, nullptr));
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(file, &high), 21u);
  EXPECT_EQ(high, 0u);
  // Truncate at 5.
  EXPECT_EQ(SetFilePointer(file, 5, nullptr, FILE_BEGIN), 5u);
  ASSERT_TRUE(SetEndOfFile(file));
  LARGE_INTEGER size{};
  ASSERT_TRUE(GetFileSizeEx(file, &size));
  EXPECT_EQ(size.QuadPart, 5);
  ASSERT_TRUE(FlushFileBuffers(file));
  CloseHandle(file);
  EXPECT_EQ(HostText("C:\\p.bin"), "01234");
}

TEST_F(IoTest, UnbufferedWritesAreWholeSectors) {
  const HANDLE file = CreateFileA("C:\\direct.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string data(8192, 'd');
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, data.data(), 8192, &written, nullptr));
  SetLastError(0);
  EXPECT_FALSE(WriteFile(file, data.data(), 100, &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(SetFilePointer(file, 5000, nullptr, FILE_BEGIN), 5000u);
  ASSERT_TRUE(SetEndOfFile(file));
  CloseHandle(file);
  EXPECT_EQ(HostText("C:\\direct.bin"), std::string(5000, 'd'));
}

TEST_F(IoTest, SixtyFourKilobyteChunksRoundTrip) {
  std::string data(3 * 65536 + 123, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
  const HANDLE out =
      CreateFileA("C:\\big.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  for (size_t at = 0; at < data.size(); at += 65536) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(65536, data.size() - at));
    ASSERT_TRUE(WriteFile(out, data.data() + at, chunk, &written, nullptr));
    ASSERT_EQ(written, chunk);
  }
  CloseHandle(out);
  EXPECT_EQ(ReadAll("C:\\big.bin"), data);
  EXPECT_EQ(HostText("C:\\big.bin"), data);
}

TEST_F(IoTest, FileTimesRoundTripAndNullLeavesATimeAlone) {
  MakeFile("C:\\t.txt", "x");
  const HANDLE file = CreateFileA("C:\\t.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME created{}, accessed{}, written{};
  ASSERT_TRUE(GetFileTime(file, &created, &accessed, &written));
  const FILETIME new_creation{0x11111111, 0x01C00000};
  const FILETIME new_write{0x22222222, 0x01D00000};
  ASSERT_TRUE(SetFileTime(file, &new_creation, nullptr, &new_write));
  CloseHandle(file);

  const HANDLE reader = CreateFileA("C:\\t.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME c{}, a{}, w{};
  ASSERT_TRUE(GetFileTime(reader, &c, &a, &w));
  CloseHandle(reader);
  EXPECT_EQ(c.dwLowDateTime, new_creation.dwLowDateTime);
  EXPECT_EQ(c.dwHighDateTime, new_creation.dwHighDateTime);
  EXPECT_EQ(w.dwLowDateTime, new_write.dwLowDateTime);
  EXPECT_EQ(w.dwHighDateTime, new_write.dwHighDateTime);
  EXPECT_EQ(a.dwLowDateTime, accessed.dwLowDateTime);
  EXPECT_EQ(a.dwHighDateTime, accessed.dwHighDateTime);
}

}  // namespace
}  // namespace xp::kernel32::testing
