// Directory searches: "." and ".." first outside a root, then names in upper-cased order; "*.*" matches names
// without a dot; the errors of a search that finds nothing or has no folder.
#include "files_fixture.h"

namespace xp::kernel32::testing {
namespace {

using FindTest = FilesTest;

TEST_F(FindTest, OrderDotsAndPatterns) {
  ASSERT_TRUE(CreateDirectoryA("C:\\dir", nullptr));
  for (const char* name : {"b.txt", "A.txt", "_under", "c", "a.TXT2"}) MakeFile(std::string("C:\\dir\\") + name, "");
  ASSERT_TRUE(CreateDirectoryA("C:\\dir\\Zed", nullptr));
  const std::vector<std::string> all = {".", "..", "A.txt", "a.TXT2", "b.txt", "c", "Zed", "_under"};
  EXPECT_EQ(Listing("C:\\dir\\*.*"), all);
  EXPECT_EQ(Listing("C:\\dir\\*"), all);
  EXPECT_EQ(Listing("C:\\\\dir\\\\*.*"), all);
  EXPECT_EQ(Listing("C:\\dir\\B.TXT"), (std::vector<std::string>{"b.txt"}));
}

TEST_F(FindTest, RootsHaveNoDots) {
  MakeFile("D:\\one.txt", "1");
  ASSERT_TRUE(CreateDirectoryA("D:\\Two", nullptr));
  EXPECT_EQ(Listing("D:\\*.*"), (std::vector<std::string>{"one.txt", "Two"}));
  EXPECT_EQ(Listing("D:\\Two\\*.*"), (std::vector<std::string>{".", ".."}));
}

TEST_F(FindTest, EntriesCarryAttributesAndSizes) {
  ASSERT_TRUE(CreateDirectoryA("C:\\e", nullptr));
  MakeFile("C:\\e\\file.bin", std::string(70000, 'z'));
  ASSERT_TRUE(SetFileAttributesA("C:\\e\\file.bin", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(CreateDirectoryA("C:\\e\\sub", nullptr));
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA("C:\\e\\*.*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  ASSERT_STREQ(data.cFileName, ".");
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  ASSERT_TRUE(FindNextFileA(find, &data));
  ASSERT_TRUE(FindNextFileA(find, &data));
  ASSERT_STREQ(data.cFileName, "file.bin");
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(data.nFileSizeLow, 70000u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  ASSERT_TRUE(FindNextFileA(find, &data));
  ASSERT_STREQ(data.cFileName, "sub");
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  SetLastError(0);
  EXPECT_FALSE(FindNextFileA(find, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(find));
  SetLastError(0);
  EXPECT_FALSE(FindClose(find));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FindTest, DeletingWhileWalkingAFolder) {
  ASSERT_TRUE(CreateDirectoryA("C:\\walk", nullptr));
  for (const char* name : {"1", "2", "3"}) MakeFile(std::string("C:\\walk\\") + name, name);
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA("C:\\walk\\*.*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  int deleted = 0;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") deleted += DeleteFileA(("C:\\walk\\" + name).c_str());
  } while (FindNextFileA(find, &data));
  FindClose(find);
  EXPECT_EQ(deleted, 3);
  EXPECT_TRUE(RemoveDirectoryA("C:\\walk"));
}

TEST_F(FindTest, Failures) {
  struct Case {
    const char* pattern;
    const char* listing;
  };
  for (const Case& c : {Case{"C:\\missing\\*.*", "error 3"}, Case{"C:\\WINDOWS\\missing.txt", "error 2"},
                        Case{"C:\\", "error 2"}, Case{"E:\\*.*", "error 2"}, Case{"C:\\WINDOWS\\*.exe", "error 120"}}) {
    EXPECT_EQ(Listing(c.pattern), std::vector<std::string>{c.listing}) << c.pattern;
  }
}

}  // namespace
}  // namespace xp::kernel32::testing
