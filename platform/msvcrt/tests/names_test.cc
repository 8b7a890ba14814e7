// rename, remove, _unlink and _access on Windows paths, MSVCRT's ASCII comparisons and _snprintf's cut.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "msvcrt.h"
#include "scratch_machine.h"
#include "windows.h"

namespace {

class NamesTest : public ::testing::Test {
 protected:
  void Put(const char* name, const char* text) const {
    std::ofstream(machine_.root() / "drives" / "C" / name, std::ios::binary) << text;
  }
  xp::test::ScratchMachine machine_;
};

TEST_F(NamesTest, RenameRefusesAnExistingTarget) {
  Put("list.txt", "old");
  Put("list.bak", "new");
  errno = 0;
  EXPECT_EQ(std::rename("C:\\list.bak", "C:\\list.txt"), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(std::remove("C:\\list.txt"), 0);
  EXPECT_EQ(std::rename("C:\\list.bak", "C:\\list.txt"), 0);
  EXPECT_EQ(_access("C:\\list.txt", 0), 0);
  EXPECT_EQ(_access("C:\\list.bak", 0), -1);
}

TEST_F(NamesTest, DeletingAndCheckingReadOnlyFiles) {
  Put("ro.txt", "x");
  ASSERT_TRUE(SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(_access("C:\\ro.txt", 4), 0);
  errno = 0;
  EXPECT_EQ(_access("C:\\ro.txt", 2), -1);
  EXPECT_EQ(errno, EACCES);
  errno = 0;
  EXPECT_EQ(_unlink("C:\\ro.txt"), -1);
  EXPECT_EQ(errno, EACCES);
  errno = 0;
  EXPECT_EQ(std::remove("C:\\ro.txt"), -1);
  EXPECT_EQ(errno, EACCES);
  ASSERT_TRUE(SetFileAttributesA("C:\\ro.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(_unlink("C:\\ro.txt"), 0);
  errno = 0;
  EXPECT_EQ(_unlink("C:\\ro.txt"), -1);
  EXPECT_EQ(errno, ENOENT);
  errno = 0;
  EXPECT_EQ(_access("C:\\ro.txt", 0), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(_access("C:\\WINDOWS", 0), 0);
}

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(StringsTest, CaseInsensitiveComparisonLowerCasesAsciiOnly) {
  struct Case {
    const char* first;
    const char* second;
    size_t count;
    int sign;
  };
  const Case cases[] = {
      {"C:\\Program Files", "c:\\PROGRAM FILES", 100, 0},
      {"abc", "ABD", 100, -1},
      {"abc", "ab", 100, 1},
      {"_", "A", 100, -1},                  // '_' sorts before 'a', though after 'A'
      {"\xC9t\xE9", "\xE9t\xE9", 100, -1},  // no folding beyond ASCII
      {"abcX", "ABCy", 3, 0},
      {"", "", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(_strnicmp(c.first, c.second, c.count)), c.sign) << c.first << " / " << c.second;
    if (c.count == 100) {
      EXPECT_EQ(Sign(_stricmp(c.first, c.second)), c.sign) << c.first << " / " << c.second;
    }
  }
}

TEST(StringsTest, SnprintfCutsWithoutATerminator) {
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(_snprintf(buffer, 8, "%s", "abc"), 3);
  EXPECT_STREQ(buffer, "abc");
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(_snprintf(buffer, 8, "%d", 12345678), 8);
  EXPECT_EQ(std::string(buffer, 8), "12345678");
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(_snprintf(buffer, 5, "%s", "too long"), -1);
  EXPECT_EQ(std::string(buffer, 8), "too l###");
  EXPECT_EQ(_snprintf(nullptr, 0, "%s", ""), 0);
}

}  // namespace
