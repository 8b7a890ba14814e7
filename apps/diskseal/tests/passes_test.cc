// The two passes over a fixture tree: what they encrypt is exactly what the driver will protect under the rules the
// install writes, each such file is encrypted once however often the walks meet it, the plain-left files are
// listed once, and the 101st counted error stops a run.
#include <algorithm>
#include <map>

#include "diskseal_private.h"
#include "engine_fixture.h"
#include "protection_policy.h"
#include "setupcore.h"

namespace tavik::diskseal::testing {
namespace {

class PassesTest : public EngineTest {
 protected:
  void SetUp() override {
    MakeKeys();
    engine().PrepareKeyFromToken("Invalid Data [005]");
    Put(InInstallFolder("_MRVMYEFL"), "D:\\data\r\n\r\nD:\\data\\inner  \n");
  }

  // Runs both passes as one run of the program does.
  void RunPasses() {
    engine().RunFirstPass();
    engine().RunSecondPass();
    engine().FreeEncryptionFiles();
  }

  // Reads the driver's rule values back from the registry as the install writes them, and decides each path by
  // the driver's routine.
  bool DriverProtects(const std::string& path) {
    std::vector<policy::Rule<char>> directories;
    std::vector<policy::Rule<char>> exceptions;
    std::vector<std::pair<std::string, policy::RuleKind>> rule_texts;
    auto read = [&](const char* subkey, policy::RuleKind kind) {
      for (int i = 1;; ++i) {
        char text[600] = {};
        const std::string key = std::string("SOFTWARE\\Quillmarsh\\Tavik\\") + subkey;
        if (!getRegStrData(text, sizeof text, HKEY_LOCAL_MACHINE, key.c_str(), std::to_string(i).c_str())) break;
        rule_texts.emplace_back(text, kind);
      }
    };
    read("exclusion", policy::RuleKind::kExclusion);
    read("inclusion", policy::RuleKind::kInclusion);
    const size_t directory_count = rule_texts.size();
    read("Exception", policy::RuleKind::kExclusion);
    for (size_t i = 0; i < rule_texts.size(); ++i) {
      policy::Rule<char> rule;
      rule.kind = rule_texts[i].second;
      EXPECT_TRUE(policy::ParseRuleText(rule_texts[i].first.data(), rule_texts[i].first.size(), &rule));
      (i < directory_count ? directories : exceptions).push_back(rule);
    }
    policy::RuleSet<char> set;
    set.directories = directories.data();
    set.directory_count = directories.size();
    set.exceptions = exceptions.data();
    set.exception_count = exceptions.size();
    char drive = 0;
    const char* rest = nullptr;
    size_t rest_length = 0;
    EXPECT_TRUE(policy::SplitDrivePath(path.data(), path.size(), &drive, &rest, &rest_length));
    return policy::IsProtectedFile(set, drive, rest, rest_length);
  }
};

struct TreeFile {
  const char* path;
  bool encrypted;
};

TEST_F(PassesTest, TheInstallEncryptsExactlyWhatTheDriverProtectsAndEachFileOnce) {
  const TreeFile tree[] = {
      {"C:\\root.txt", false},  // the system volume's root stays plain
      {"D:\\root.txt", true},   // another volume's root does not
      {"C:\\Documents and Settings\\User\\My Documents\\letter.doc", true},
      {"C:\\Documents and Settings\\User\\Desktop\\desktop.ini", false},
      {"C:\\Documents and Settings\\User\\Start Menu\\App.LNK", false},
      {"C:\\Documents and Settings\\User\\usrClass.dat.LOG", false},
      {"C:\\WINDOWS\\system32\\kernel.dll", false},                   // the Windows folder is excluded
      {"C:\\WINDOWS\\Temp\\scratch.tmp", true},                       // but its Temp is listed for the second pass
      {"C:\\Program Files\\Quillmarsh\\Tavik\\XP\\tool.exe", false},  // the user's own exclusion
      {"D:\\Recycler\\S-1-5-21\\Dc1.txt", false},                     // recycle folders of every volume
      {"D:\\System Volume Information\\tracking.log", false},
      {"D:\\data\\report.xls", true},       // met by both passes (listed for the second)
      {"D:\\data\\inner\\deep.txt", true},  // met three times
      {"D:\\data\\keep-plain.dat", false},  // a bad name: plain, and listed
      {"C:\\Documents and Settings\\User\\keep-plain.dat", false},
      {"D:\\data\\driver.SYS", false},
  };
  std::map<std::string, std::string> plain;
  uint32_t seed = 1;
  for (const TreeFile& file : tree) {
    plain[file.path] = RandomBytes(1000 + seed * 37, seed);
    Put(file.path, plain[file.path]);
    ++seed;
  }
  Put("D:\\data\\empty.txt", "");

  RunPasses();
  ASSERT_TRUE(write_hd_install_state(600));
  ASSERT_TRUE(CreateProductKeys(nullptr));
  ASSERT_TRUE(addNEFL2Registry());
  ASSERT_TRUE(addEFL2Registry());
  ASSERT_TRUE(addBadFiles2Registry());

  const std::vector<std::string> history = Lines(InInstallFolder("MRVENCHS"));
  for (const TreeFile& file : tree) {
    SCOPED_TRACE(file.path);
    const bool listed = std::count(history.begin(), history.end(), file.path) == 1;
    EXPECT_EQ(listed, file.encrypted);
    EXPECT_TRUE(Get(file.path) == (file.encrypted ? Encrypted(plain[file.path], engine().key()) : plain[file.path]));
    EXPECT_EQ(DriverProtects(file.path), file.encrypted);
  }
  EXPECT_EQ(history.size(), static_cast<size_t>(std::count_if(std::begin(tree), std::end(tree),
                                                              [](const TreeFile& f) { return f.encrypted; })));
  EXPECT_EQ(Get("D:\\data\\empty.txt"), "");
  EXPECT_EQ(Lines(InInstallFolder("MRVBADFILES")),
            (std::vector<std::string>{"C:\\Documents and Settings\\User\\keep-plain.dat", "D:\\data\\keep-plain.dat"}));
}

TEST_F(PassesTest, ASecondRunTakesNothingTheFirstEncrypted) {
  Put("D:\\data\\a.txt", "first");
  Put("D:\\data\\b.txt", "second");
  RunPasses();
  const std::optional<std::string> a = Get("D:\\data\\a.txt");
  Put("D:\\data\\c.txt", "third");
  NewEngine();
  engine().PrepareKeyFromToken("Invalid Data [005]");
  RunPasses();
  EXPECT_EQ(Get("D:\\data\\a.txt"), a);
  EXPECT_EQ(Lines(InInstallFolder("MRVENCHS")),
            (std::vector<std::string>{"D:\\data\\a.txt", "D:\\data\\b.txt", "D:\\data\\c.txt"}));
}

TEST_F(PassesTest, TheHundredAndFirstCountedErrorStopsTheRun) {
  for (int i = 0; i < 102; ++i) Put("D:\\busy\\f" + std::to_string(1000 + i) + ".txt", "x");
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "MoveFileA", 1, 0, ERROR_SHARING_VIOLATION, "\\busy\\"});
  std::string stop;
  try {
    engine().RunFirstPass();
  } catch (const InstallStop& raised) {
    stop = raised.text;
  }
  xp::machine::ClearFaults();
  engine().FreeEncryptionFiles();
  EXPECT_EQ(stop, "Maximum error numbers exceeded.");
  const std::vector<std::string> log = Lines(InInstallFolder("MRVLOG"));
  ASSERT_EQ(log.size(), 101u);
  EXPECT_TRUE(log[0].ends_with(" Error[E4]: cannot rename \"D:\\busy\\f1000.txt\" to \"~.H1K\"")) << log[0];
  EXPECT_TRUE(log[100].ends_with("f1100.txt\" to \"~.H1K\"")) << log[100];
  EXPECT_EQ(Lines(InInstallFolder("MRVBADFILES")).size(), 101u);
}

TEST_F(PassesTest, LogLinesCarryTheStampAndKeepTheirLineEnd) {
  const std::string stamped = LogLine(std::string(600, 'x'));
  EXPECT_EQ(stamped.size(), 459u);
  EXPECT_EQ(stamped.back(), '\n');
  const std::string stamp = Stamp();
  int year, month, day, hour, minute, second;
  char tail = 0;
  EXPECT_EQ(std::sscanf(stamp.c_str(), "%d-%d-%d %d:%d:%d%c", &year, &month, &day, &hour, &minute, &second, &tail), 7);
  EXPECT_EQ(tail, ' ');
  EXPECT_EQ(stamp, std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day) + " " +
                       std::to_string(hour) + ":" + std::to_string(minute) + ":" + std::to_string(second) + " ");
}

}  // namespace
}  // namespace tavik::diskseal::testing
