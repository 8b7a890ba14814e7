// C streams on Windows paths: MSVCRT's text mode both ways, binary mode, appending, unbuffered streams that reach
// the disk at once, fgets limits, rewinding, failures; and host paths left to glibc.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "scratch_machine.h"
#include "windows.h"
#include "xp/faults.h"

namespace {

class StreamsTest : public ::testing::Test {
 protected:
  std::filesystem::path Host(const std::string& name) const { return machine_.root() / "drives" / "C" / name; }
  // What the disk holds once the kernel wrote its cache back.
  std::string HostText(const std::string& name) const {
    machine_.WriteBack();
    std::ifstream in(Host(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void PutHostText(const std::string& name, const std::string& text) const {
    std::ofstream(Host(name), std::ios::binary) << text;
  }

  xp::test::ScratchMachine machine_;
};

std::string ReadThrough(FILE* file) {
  std::string text;
  char chunk[7];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) != 0;) text.append(chunk, got);
  return text;
}

TEST_F(StreamsTest, TextModeWritesCrLfAndReadsItBack) {
  FILE* out = std::fopen("C:\\lines.txt", "w");
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(std::fprintf(out, "a\nb\n%d", 5), 5);
  EXPECT_EQ(std::fclose(out), 0);
  EXPECT_EQ(HostText("lines.txt"), "a\r\nb\r\n5");

  FILE* in = std::fopen("c:\\LINES.txt", "rt");
  ASSERT_NE(in, nullptr);
  char line[16];
  ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
  EXPECT_STREQ(line, "a\n");
  ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
  EXPECT_STREQ(line, "b\n");
  EXPECT_FALSE(std::feof(in));
  ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
  EXPECT_STREQ(line, "5");
  EXPECT_TRUE(std::feof(in));
  EXPECT_EQ(std::fgets(line, sizeof line, in), nullptr);
  EXPECT_EQ(std::fclose(in), 0);
}

TEST_F(StreamsTest, TextReadsAtEveryBufferSize) {
  struct Case {
    std::string raw;
    std::string text;
  };
  const Case cases[] = {
      {"x\r\ny", "x\ny"},
      {"x\ry", "x\ry"},
      {"x\r", "x\r"},
      {"\r\r\n", "\r\n"},
      {"a\r\n\r\nb\r\n", "a\n\nb\n"},
      {std::string("nul\0byte\r\n", 10), std::string("nul\0byte\n", 9)},
      {"\n\r\r\r\n", "\n\r\r\n"},
  };
  int number = 0;
  for (const Case& c : cases) {
    // A new file each time: the disk's files are written from outside only before their first use.
    const std::string name = "raw" + std::to_string(++number) + ".txt";
    PutHostText(name, c.raw);
    for (size_t buffer_size : {1, 2, 3, 4, 64}) {
      FILE* in = std::fopen(("C:\\" + name).c_str(), "r");
      ASSERT_NE(in, nullptr);
      ASSERT_EQ(std::setvbuf(in, nullptr, _IOFBF, buffer_size), 0);
      EXPECT_EQ(ReadThrough(in), c.text) << "buffer " << buffer_size;
      std::fclose(in);
    }
  }
}

TEST_F(StreamsTest, BinaryModeMovesBytesAsTheyAre) {
  FILE* out = std::fopen("C:\\bin.dat", "wb");
  ASSERT_NE(out, nullptr);
  const char bytes[] = "a\nb\r\n\0z";
  EXPECT_EQ(std::fwrite(bytes, 1, sizeof bytes, out), sizeof bytes);
  EXPECT_EQ(std::fclose(out), 0);
  EXPECT_EQ(HostText("bin.dat"), std::string(bytes, sizeof bytes));
  FILE* in = std::fopen("C:\\bin.dat", "rb");
  EXPECT_EQ(ReadThrough(in), std::string(bytes, sizeof bytes));
  std::fclose(in);
}

TEST_F(StreamsTest, AppendingWritesAtTheEndEveryTime) {
  PutHostText("log.txt", "one\r\n");
  FILE* log = std::fopen("C:\\log.txt", "a");
  ASSERT_NE(log, nullptr);
  std::fputs("two\n", log);
  std::fflush(log);
  std::fseek(log, 0, SEEK_SET);
  std::fputs("three\n", log);
  EXPECT_EQ(std::fclose(log), 0);
  EXPECT_EQ(HostText("log.txt"), "one\r\ntwo\r\nthree\r\n");
  FILE* fresh = std::fopen("C:\\new-log.txt", "a");
  ASSERT_NE(fresh, nullptr);
  std::fputs("first\n", fresh);
  std::fclose(fresh);
  EXPECT_EQ(HostText("new-log.txt"), "first\r\n");
}

TEST_F(StreamsTest, UnbufferedStreamsReachTheKernelAtOnce) {
  FILE* history = std::fopen("C:\\history.txt", "a");
  ASSERT_NE(history, nullptr);
  ASSERT_EQ(std::setvbuf(history, nullptr, _IONBF, 0), 0);
  std::fprintf(history, "%s\n", "D:\\a.txt");
  EXPECT_EQ(HostText("history.txt"), "D:\\a.txt\r\n");
  std::fprintf(history, "%s\n", "D:\\b.txt");
  EXPECT_EQ(HostText("history.txt"), "D:\\a.txt\r\nD:\\b.txt\r\n");
  EXPECT_EQ(std::fflush(history), 0);
  EXPECT_EQ(std::fclose(history), 0);
}

TEST_F(StreamsTest, FgetsReadsAtMostOneLessThanItsSize) {
  PutHostText("long.txt", "abcdef\r\nxy");
  FILE* in = std::fopen("C:\\long.txt", "r");
  char line[4];
  ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
  EXPECT_STREQ(line, "abc");
  ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
  EXPECT_STREQ(line, "def");
  ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
  EXPECT_STREQ(line, "\n");
  // Counted, then read again from the start.
  std::rewind(in);
  ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
  EXPECT_STREQ(line, "abc");
  std::fclose(in);
}

TEST_F(StreamsTest, Failures) {
  errno = 0;
  EXPECT_EQ(std::fopen("C:\\missing.txt", "r"), nullptr);
  EXPECT_EQ(errno, ENOENT);
  errno = 0;
  EXPECT_EQ(std::fopen("C:\\no\\such\\x.txt", "w"), nullptr);
  EXPECT_EQ(errno, ENOENT);
  errno = 0;
  EXPECT_EQ(std::fopen("C:\\x.txt", "r+"), nullptr);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_FALSE(std::filesystem::exists(Host("x.txt")));

  // A write that fails on disk fails the flush, and the stream says so.
  FILE* out = std::fopen("C:\\full.txt", "w");
  ASSERT_NE(out, nullptr);
  xp::machine::Fault fault;
  fault.operation = "WriteFile";
  fault.error = ERROR_DISK_FULL;
  fault.path_contains = "full.txt";
  fault.times = 0;  // every write from now: the close tries again
  xp::machine::ArmFault(fault);
  std::fputs("never\n", out);
  EXPECT_EQ(std::fflush(out), EOF);
  EXPECT_TRUE(std::ferror(out));
  std::fclose(out);
  EXPECT_EQ(HostText("full.txt"), "");
}

TEST_F(StreamsTest, HostPathsStayTheHosts) {
  const std::filesystem::path host = machine_.root() / "host.txt";
  FILE* out = std::fopen(host.c_str(), "w");
  ASSERT_NE(out, nullptr);
  std::fputs("plain\n", out);
  EXPECT_EQ(std::fclose(out), 0);
  std::ifstream in(host, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "plain\n");
  const std::filesystem::path moved = machine_.root() / "moved.txt";
  EXPECT_EQ(std::rename(host.c_str(), moved.c_str()), 0);
  EXPECT_EQ(std::remove(moved.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(moved));
}

}  // namespace
