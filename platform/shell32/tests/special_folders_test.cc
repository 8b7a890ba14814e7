// The documents folder the registration program writes its temporary page into: the current user's "Personal"
// shell folder, made on first use, handed out as an item list that the shell's allocator frees.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>

#include "scratch_machine.h"
#include "shlobj.h"
#include "windows.h"

namespace {

std::string DocumentsPath() {
  LPITEMIDLIST list = nullptr;
  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, &list), S_OK);
  char path[MAX_PATH];
  std::memset(path, ' ', sizeof path);
  const BOOL found = SHGetPathFromIDListA(list, path);
  LPMALLOC malloc = nullptr;
  EXPECT_EQ(SHGetMalloc(&malloc), S_OK);
  malloc->Free(list);
  return found ? std::string(path) : "(none)";
}

TEST(SpecialFolders, GiveEachUsersDocumentsFolderAndMakeIt) {
  xp::test::ScratchMachine machine;
  const struct {
    const char* user;
    const char* path;
    const char* host;
  } rows[] = {
      {"Administrator", "C:\\Documents and Settings\\Administrator\\My Documents",
       "drives/C/Documents and Settings/Administrator/My Documents"},
      {"User", "C:\\Documents and Settings\\User\\My Documents", "drives/C/Documents and Settings/User/My Documents"},
  };
  for (const auto& row : rows) {
    ::setenv("XPMACHINE_USER", row.user, 1);
    EXPECT_EQ(DocumentsPath(), row.path);
    EXPECT_TRUE(std::filesystem::is_directory(machine.root() / row.host)) << row.host;
  }
  ::unsetenv("XPMACHINE_USER");
}

TEST(SpecialFolders, RefuseWhatTheyDoNotKnow) {
  xp::test::ScratchMachine machine;
  LPITEMIDLIST list = reinterpret_cast<LPITEMIDLIST>(1);
  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, 0x001A, &list), E_NOTIMPL);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, nullptr), E_INVALIDARG);
  char path[MAX_PATH] = "x";
  EXPECT_FALSE(SHGetPathFromIDListA(nullptr, path));
  const USHORT empty = 0;
  EXPECT_FALSE(SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(&empty), path));
  EXPECT_STREQ(path, "");
}

}  // namespace
