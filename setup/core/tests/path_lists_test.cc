// Path lists: the DirFileList operations, the one reading rule of the list files, and the history loader, which
// must keep every good line of a history whose middle line or last line was damaged.
#include <string>
#include <vector>

#include "setupcore_fixture.h"

namespace tavik::setupcore::testing {
namespace {

std::vector<std::string> Names(DirFileList* list) {
  std::vector<std::string> names;
  for (; list != nullptr; list = list->next) names.push_back(list->name);
  return names;
}

// A list head that frees its nodes through setupcore, as the callers must.
struct List {
  DirFileList* head = nullptr;
  ~List() { free_all_dir_file_list(head); }
  std::vector<std::string> names() const { return Names(head); }
};

TEST(DirFileList, AddsAtTheTailOnceIgnoringCase) {
  List list;
  EXPECT_EQ(add_to_list("C:\\Temp", &list.head), 0);
  EXPECT_EQ(add_to_list("C:\\Data", &list.head), 0);
  EXPECT_EQ(add_to_list("c:\\temp", &list.head), 2);
  EXPECT_EQ(list.names(), (std::vector<std::string>{"C:\\Temp", "C:\\Data"}));
  EXPECT_TRUE(isInList("C:\\DATA", &list.head));
  EXPECT_FALSE(isInList("C:\\Dat", &list.head));
  EXPECT_EQ(del_from_list("C:\\Other", &list.head), 1);
  EXPECT_EQ(del_from_list("c:\\TEMP", &list.head), 0);
  EXPECT_EQ(list.names(), (std::vector<std::string>{"C:\\Data"}));
  free_element(nullptr);
}

TEST(DirFileList, MatchGivesTheLongestCoveringEntry) {
  struct {
    std::vector<std::string> entries;
    const char* path;
    int match;
  } cases[] = {
      {{"C:\\Data", "C:\\Dat"}, "C:\\Data\\x.txt", 7},
      {{"C:\\DATA\\X.TXT"}, "C:\\Data\\x.txt", 13},
      {{"C:\\Data", "C:\\Data\\Sub"}, "C:\\data\\sub\\x.txt", 11},
      {{"C:\\Dat", "D:\\Data"}, "C:\\Data\\x.txt", 0},
      {{}, "C:\\x", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    List list;
    for (const std::string& entry : c.entries) add_to_list(entry.c_str(), &list.head);
    EXPECT_EQ(matchInList(c.path, &list.head), c.match);
    EXPECT_EQ(matchInList(nullptr, &list.head), -1);
  }
}

class ListFileTest : public SetupcoreTest {
 protected:
  const std::string history_ = InInstallFolder("MRVENCHS");
  const std::string backup_ = InInstallFolder("_MRVENCHIST.BAK");
};

TEST_F(ListFileTest, LoadsLinesByTheReadingRule) {
  const std::string longest = "C:\\" + std::string(257, 'a');  // 260 characters: the longest path a finder gives
  Put(InInstallFolder("list"), "C:\\One\r\nC:\\Temp  \n\nc:\\temp\n" + longest + "\nC:\\Last");
  List list;
  ASSERT_TRUE(_init_list(InInstallFolder("list").c_str(), &list.head));
  EXPECT_EQ(list.names(), (std::vector<std::string>{"C:\\One", "C:\\Temp", longest, "C:\\Last"}));
  EXPECT_TRUE(_init_list("C:\\no such list", &list.head));  // a loaded list is not loaded again

  Put(InInstallFolder("long"), "C:\\One\n" + longest + "a\nC:\\Two\n");
  List too_long;
  EXPECT_FALSE(_init_list(InInstallFolder("long").c_str(), &too_long.head));
  List missing;
  EXPECT_FALSE(_init_list(InInstallFolder("missing").c_str(), &missing.head));
}

TEST_F(ListFileTest, CleanLoadBacksUpAndCountsAcceptedLines) {
  Put(history_, "C:\\a.txt\nC:\\b.txt\r\n\nc:\\A.TXT\n");
  List list;
  unsigned count = 0;
  ASSERT_EQ(_init_list_clean(history_.c_str(), backup_.c_str(), &list.head, &count), 0);
  EXPECT_EQ(list.names(), (std::vector<std::string>{"C:\\a.txt", "C:\\b.txt"}));
  EXPECT_EQ(count, 3u);                                                // the duplicate counts
  EXPECT_EQ(Get(backup_), "C:\\a.txt\r\nC:\\b.txt\r\nc:\\A.TXT\r\n");  // written in text mode
  EXPECT_EQ(_init_list_clean(history_.c_str(), backup_.c_str(), &list.head, &count), 1);
}

TEST_F(ListFileTest, CleanLoadFallsBackToTheBackupOrReportsBothMissing) {
  List list;
  unsigned count = 0;
  EXPECT_EQ(_init_list_clean(history_.c_str(), backup_.c_str(), &list.head, &count), 10);
  Put(backup_, "C:\\kept.txt\n");
  ASSERT_EQ(_init_list_clean(history_.c_str(), backup_.c_str(), &list.head, &count), 0);
  EXPECT_EQ(list.names(), (std::vector<std::string>{"C:\\kept.txt"}));
  EXPECT_EQ(Get(history_), "C:\\kept.txt\n");
}

// A damaged line is left out, but the lines after it are still loaded and backed up: a caller that restores the
// history from the backup loses only the damaged line, and no file is encrypted a second time.
TEST_F(ListFileTest, ABadLineCostsOnlyItself) {
  struct {
    std::string bad_line;
    char code;
  } cases[] = {
      {std::string("\0C:\\x.txt", 9), 4},
      {"C:\\" + std::string(300, 'x'), 5},
      {"A:\\floppy.txt", 6},
      {"C:", 7},
      {"C:/forward.txt", 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.code));
    Put(history_, "C:\\before.txt\n" + c.bad_line + "\nC:\\after1.txt\nC:\\after2.txt\n");
    List list;
    unsigned count = 0;
    EXPECT_EQ(_init_list_clean(history_.c_str(), backup_.c_str(), &list.head, &count), c.code);
    const std::vector<std::string> good = {"C:\\before.txt", "C:\\after1.txt", "C:\\after2.txt"};
    EXPECT_EQ(list.names(), good);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(Get(backup_), "C:\\before.txt\r\nC:\\after1.txt\r\nC:\\after2.txt\r\n");
  }
}

// After a power loss the history may end in a torn line. The next entry appended must not run into it.
TEST_F(ListFileTest, ATornLastLineIsEndedBeforeTheNextAppend) {
  for (const std::string& torn : {std::string("C:\\dir\\fi"), std::string("C:\\dir\\fi\0\0\0", 12)}) {
    Put(history_, "C:\\a.txt\n" + torn);
    List list;
    unsigned count = 0;
    ASSERT_EQ(_init_list_clean(history_.c_str(), backup_.c_str(), &list.head, &count), 0);
    EXPECT_EQ(list.names(), (std::vector<std::string>{"C:\\a.txt", "C:\\dir\\fi"}));
    // What the encryption pass does next: append the path of the file it encrypted.
    std::FILE* append = std::fopen(history_.c_str(), "a");
    ASSERT_NE(append, nullptr);
    std::fprintf(append, "%s\n", "C:\\next.txt");
    std::fclose(append);
    List reloaded;
    _init_list_clean(history_.c_str(), backup_.c_str(), &reloaded.head, &count);
    EXPECT_TRUE(isInList("C:\\next.txt", &reloaded.head));
    EXPECT_TRUE(isInList("C:\\a.txt", &reloaded.head));
  }
}

}  // namespace
}  // namespace tavik::setupcore::testing
