// Windows paths on the drives: case-insensitive lookup that keeps the stored case, the errors Windows tells apart,
// and no way out of the machine folder.
#include "xp/drive_paths.h"

#include <gtest/gtest.h>

#include <fstream>

#include "machine_test_fixture.h"

namespace xp::machine {
namespace {

class DrivePathsTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    std::filesystem::create_directories(root_ / "drives/C/Program Files/Quillmarsh/Tavik/XP");
    std::ofstream(root_ / "drives/C/Program Files/Quillmarsh/Tavik/XP/RecoverKit.exe") << "program";
    std::filesystem::create_symlink("/etc", root_ / "drives/C/escape");
  }
};

TEST_F(DrivePathsTest, FindsPathsIgnoringCaseAndGivesTheStoredCase) {
  const struct {
    const char* path;
    PathLookup result;
    const char* windows;  // when found
  } rows[] = {
      {"C:\\Program Files\\Quillmarsh\\Tavik\\XP\\recoverkit.exe", PathLookup::kFound,
       "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\RecoverKit.exe"},
      {"c:/PROGRAM FILES//quillmarsh\\\\TAVIK\\xp\\RECOVERKIT.EXE", PathLookup::kFound,
       "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\RecoverKit.exe"},
      {"C:\\WINDOWS\\.\\system32\\..\\system32", PathLookup::kFound, "C:\\WINDOWS\\system32"},
      {"C:\\..\\..\\windows", PathLookup::kFound, "C:\\WINDOWS"},
      {"C:\\", PathLookup::kFound, "C:\\"},
      {"C:\\WINDOWS\\nothing.exe", PathLookup::kFileNotFound, ""},
      {"C:\\nothing\\x.exe", PathLookup::kPathNotFound, ""},
      {"C:\\Program Files\\Quillmarsh\\Tavik\\XP\\RecoverKit.exe\\x", PathLookup::kPathNotFound, ""},
      {"Q:\\x.exe", PathLookup::kPathNotFound, ""},
      {"C:relative.exe", PathLookup::kInvalid, ""},
      {"\\\\server\\share\\x.exe", PathLookup::kInvalid, ""},
      {"C:\\a|b.exe", PathLookup::kInvalid, ""},
      {"C:\\escape", PathLookup::kFileNotFound, ""},
      {"C:\\escape\\passwd", PathLookup::kPathNotFound, ""},
  };
  for (const auto& row : rows) {
    FoundPath found;
    EXPECT_EQ(FindOnDrives(row.path, &found), row.result) << row.path;
    if (row.result == PathLookup::kFound) {
      EXPECT_EQ(found.windows, row.windows) << row.path;
    }
  }
}

TEST_F(DrivePathsTest, TheFoundHostFileIsTheOneOnTheDrive) {
  FoundPath found;
  ASSERT_EQ(FindOnDrives("C:\\PROGRAM FILES\\QUILLMARSH\\TAVIK\\XP\\RECOVERKIT.EXE", &found), PathLookup::kFound);
  EXPECT_EQ(found.host, root_ / "drives/C/Program Files/Quillmarsh/Tavik/XP/RecoverKit.exe");
}

TEST_F(DrivePathsTest, WindowsPathOfAHostFile) {
  EXPECT_EQ(WindowsPathOf(root_ / "drives/C/Program Files/Quillmarsh/../x.exe"), "C:\\Program Files\\x.exe");
  EXPECT_EQ(WindowsPathOf(root_ / "drives/C"), "C:\\");
  EXPECT_EQ(WindowsPathOf(root_ / "journal.log"), std::nullopt);
  EXPECT_EQ(WindowsPathOf("/usr/bin/env"), std::nullopt);
}

}  // namespace
}  // namespace xp::machine
