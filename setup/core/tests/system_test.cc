// The system utilities: the single-instance mutex, the administrator check, the forced restart, the machine checks
// (free space, BOOT.INI, version), and the file and folder helpers, on a simulated machine.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "setupcore_fixture.h"

namespace tavik::setupcore::testing {
namespace {

class SystemTest : public SetupcoreTest {};

TEST_F(SystemTest, TheInstanceMutexIsHeldForTheLifeOfTheProcess) {
  const pid_t earlier = fork();
  if (earlier == 0) _exit(mutexExists("MorvelMutex"));
  int status = 0;
  ASSERT_EQ(waitpid(earlier, &status, 0), earlier);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(mutexExists("MorvelMutex"), 0);  // the earlier holder has ended
  EXPECT_EQ(mutexExists("MorvelMutex"), 1);
  const pid_t later = fork();
  if (later == 0) _exit(mutexExists("MorvelMutex"));
  ASSERT_EQ(waitpid(later, &status, 0), later);
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

TEST_F(SystemTest, OnlyAnAdministratorPassesTheAdministratorCheck) {
  EXPECT_EQ(userIsNTAdmin(), 0);
  ::setenv("XPMACHINE_USER", "User", 1);
  EXPECT_EQ(userIsNTAdmin(), 6);
  ::unsetenv("XPMACHINE_USER");
}

TEST_F(SystemTest, ARestartIsAskedForWithForce) {
  EXPECT_TRUE(doReboot());
  EXPECT_EQ(xp::machine::PendingRestart(), EWX_REBOOT | EWX_FORCE);
}

TEST_F(SystemTest, TheSystemIsWindowsXp) { EXPECT_EQ(getSystemVersion(), 3); }

TEST_F(SystemTest, BootIniMustNameOneSystem) {
  const std::string header =
      "[boot loader]\r\ntimeout=30\r\ndefault=multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS\r\n"
      "[operating systems]\r\n";
  const std::string xp =
      "multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS=\"Microsoft Windows XP Professional\" /fastdetect";
  struct {
    const char* what;
    std::optional<std::string> boot_ini;
    char result;
  } cases[] = {
      {"missing", std::nullopt, 1},
      {"one entry", header + xp + "\r\n", 0},
      {"one system twice, in other case",
       header + xp + "\r\n" + "MULTI(0)DISK(0)RDISK(0)PARTITION(1)\\windows=\"Safe\"\r\n", 0},
      {"recovery console",
       header + xp + "\r\nC:\\CMDCONS\\BOOTSECT.DAT=\"Microsoft Windows Recovery Console\" /cmdcons\r\n", 3},
      {"blank line after the entries", header + xp + "\r\n\r\n", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA("C:\\BOOT.INI");
    if (c.boot_ini) Put("C:\\BOOT.INI", *c.boot_ini);
    EXPECT_EQ(check_multiple_os(), c.result);
  }
}

TEST_F(SystemTest, FoldersAreCreatedWithTheirParentsButNeverTwice) {
  EXPECT_TRUE(createMyDir("C:\\One\\Two\\Three"));
  EXPECT_TRUE(GetFileAttributesA("C:\\One\\Two\\Three") & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(bFileExists("C:\\ONE\\two"), 1);
  EXPECT_FALSE(createMyDir("C:\\One\\Two\\Three"));
  EXPECT_FALSE(createMyDir("Q:\\Nowhere"));
  EXPECT_EQ(bFileExists("C:\\One\\Four"), 0);
}

TEST_F(SystemTest, TrailingSpacesOnlyAreCut) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {{"C:\\Temp  ", "C:\\Temp"}, {"   ", ""}, {"tab\t", "tab\t"}, {"a b ", "a b"}, {"", ""}};
  for (const auto& c : cases) {
    char text[16];
    std::strcpy(text, c.in);
    EXPECT_TRUE(delTrailingSpaces(text));
    EXPECT_STREQ(text, c.out);
  }
  EXPECT_FALSE(delTrailingSpaces(nullptr));
}

TEST_F(SystemTest, FileTimesAndNtfsMarksGoThroughTheFile) {
  const std::string file = "C:\\Docs\\report.doc";
  Put(file, "contents");
  const FILETIME creation = {0x11111111, 0x01C00000};
  const FILETIME access = {0x22222222, 0x01C10000};
  const FILETIME write = {0x33333333, 0x01C20000};
  ASSERT_EQ(setFileTime(file.c_str(), &creation, &access, &write), 1);
  FILETIME back[3] = {};
  ASSERT_EQ(getFileTime(file.c_str(), &back[0], &back[1], &back[2]), 1);
  EXPECT_EQ(back[0].dwLowDateTime, creation.dwLowDateTime);
  EXPECT_EQ(back[2].dwHighDateTime, write.dwHighDateTime);
  EXPECT_EQ(getFileTime("C:\\Docs\\missing.doc", &back[0], &back[1], &back[2]), 0);

  ASSERT_TRUE(setCompressSparseAttr(true, file.c_str()));
  EXPECT_TRUE(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_COMPRESSED);
  ASSERT_TRUE(setCompressSparseAttr(false, file.c_str()));
  EXPECT_TRUE(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_SPARSE_FILE);
  EXPECT_FALSE(setCompressSparseAttr(true, "C:\\Docs\\missing.doc"));
}

TEST_F(SystemTest, AFolderTreeIsEmptiedOrDeletedWhole) {
  Put("C:\\WINDOWS\\Temp\\a.tmp", "a");
  Put("C:\\WINDOWS\\Temp\\Sub\\b.tmp", "b");
  ASSERT_TRUE(SetFileAttributesA("C:\\WINDOWS\\Temp\\a.tmp", FILE_ATTRIBUTE_READONLY));
  EXPECT_NE(emptyDirectory("C:\\WINDOWS\\Temp"), 0);
  EXPECT_TRUE(std::filesystem::is_empty(Host("C:\\WINDOWS\\Temp")));
  EXPECT_EQ(emptyDirectory("C:\\WINDOWS\\NoSuchFolder"), 0);

  Put("C:\\Old\\Sub\\c.txt", "c");
  char folder[] = "C:\\Old";
  EXPECT_TRUE(delNonEmptyDirectory(folder));
  EXPECT_FALSE(Exists("C:\\Old"));
  EXPECT_TRUE(Exists("C:\\WINDOWS"));
}

TEST_F(SystemTest, ScanningFindsOneTypeInEveryFolder) {
  Put("C:\\Data\\a.H1K", "1");
  Put("C:\\Data\\Sub\\b.h1k", "2");
  Put("C:\\Data\\Sub\\c.txt", "3");
  Put("C:\\Data\\d.H1K.txt", "4");
  DirFileList* found = nullptr;
  ASSERT_EQ(scan4Type(&found, "C:\\Data", ".H1K"), 0);
  std::vector<std::string> names;
  for (DirFileList* node = found; node != nullptr; node = node->next) names.push_back(node->name);
  EXPECT_EQ(names, (std::vector<std::string>{"C:\\Data\\a.H1K", "C:\\Data\\Sub\\b.h1k"}));
  free_all_dir_file_list(found);

  // A drive given with its backslash gives paths with one backslash after the drive.
  found = nullptr;
  ASSERT_EQ(scan4Type(&found, "C:\\", ".H1K"), 0);
  ASSERT_NE(found, nullptr);
  EXPECT_STREQ(found->name, "C:\\Data\\a.H1K");
  free_all_dir_file_list(found);
}

TEST_F(SystemTest, ScanningRefusesWhatItCannotHold) {
  // The folder can still be searched (its pattern stays below 260 characters), but a file in it cannot be held.
  // Such a file is made beside the machine's file calls, as a program using long-path calls would make it.
  const std::filesystem::path deep = Host("C:\\Deep\\" + std::string(240, 'd'));
  std::filesystem::create_directories(deep);
  std::ofstream(deep / (std::string(15, 'x') + ".H1K")) << "1";
  DirFileList* found = nullptr;
  ExpectBoxes({{kCaption, "Scan disk failure (error code: 001)"},
               {kCaption, "Scan disk failure (error code: 002)"},
               {kCaption, "Search & encrypt failure (error code: 003)"}});
  EXPECT_EQ(scan4Type(&found, nullptr, ".H1K"), 1);
  EXPECT_EQ(scan4Type(&found, ("C:\\" + std::string(260, 'x')).c_str(), ".H1K"), 2);
  EXPECT_EQ(scan4Type(&found, "C:\\Deep", ".H1K"), 3);
  EXPECT_EQ(BoxesLeft(), 0u);
  free_all_dir_file_list(found);
}

xp::machine::MachineOptions DrivesWithFreeSpace(uint64_t d_free) {
  xp::machine::MachineOptions options;
  options.drives = {{'C', "fixed", "NTFS", 0x11111111, 20ull << 30},
                    {'D', "fixed", "NTFS", 0x22222222, d_free},
                    {'E', "cdrom", "CDFS", 0x33333333, 0}};
  return options;
}

TEST(FreeSpace, EveryFixedDriveNeedsTwoHundredMegabytes) {
  struct {
    uint64_t d_free;
    int result;
  } cases[] = {{0xC7FFFFF, 1}, {0xC800000, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.d_free);
    const xp::test::ScratchMachine machine(SetupcoreMachine(DrivesWithFreeSpace(c.d_free)));
    EXPECT_EQ(detectBigFiles(), c.result);
  }
}

}  // namespace
}  // namespace tavik::setupcore::testing
