// The recovery of "Recover My Files" that recoverkit and both report dialogs share, over the install folder's lists
// on a scratch machine: which listed files reach the caller's routine, which refusals show, and the count that
// decides between the success box and the other one.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "conversion.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/ui_script.h"

namespace tavik::conversion {
namespace {

constexpr char kCaption[] = "Refusal";
constexpr char kFirst[] = "MorvelSpecials1.txt";
constexpr char kSecond[] = "MorvelSpecials2.txt";

void Write(const std::string& path, const std::string& bytes) {
  std::FILE* stream = std::fopen(path.c_str(), "wb");
  ASSERT_NE(stream, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fclose(stream);
}

class RecoveryTest : public ::testing::Test {
 protected:
  RecoveryTest() : machine_(xp::test::ScratchOptions{.no_ui = true}) {
    for (const char* folder : {"C:\\Program Files", "C:\\Program Files\\Quillmarsh", "C:\\Program Files\\Quillmarsh\\Tavik",
                               kInstallFolder, "C:\\d"}) {
      CreateDirectoryA(folder, nullptr);
    }
    for (const char* file : {"C:\\d\\a.doc", "C:\\d\\b.doc", "C:\\d\\c.doc.H0K"}) Write(file, "x");
  }

  xp::test::ScratchMachine machine_;
};

TEST_F(RecoveryTest, EveryListReadToItsEndOrCountedAsNotRecovered) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, std::string>> lists;  // name -> content; the others are missing
    std::function<bool(const std::string&)> belongs;
    std::vector<std::string> refusals;
    std::vector<std::string> recovered;  // the paths handed to the routine, in order
    unsigned int not_recovered;
  } cases[] = {
      {"both lists, a gone file skipped, one left under its temporary name",
       {{kFirst, "C:\\d\\a.doc\nC:\\d\\gone.doc\n"}, {kSecond, "C:\\d\\c.doc\r\n"}},
       nullptr, {}, {"C:\\d\\a.doc", "C:\\d\\c.doc"}, 0},
      {"a missing list while the other is there", {{kSecond, "C:\\d\\b.doc"}}, nullptr, {}, {"C:\\d\\b.doc"}, 0},
      {"no list at all", {}, nullptr, {"Open file failure."}, {}, 1},
      {"a bad line stops its list only",
       {{kFirst, "C:\\d\\a.doc\nC:\nC:\\d\\b.doc\n"}, {kSecond, "C:\\d\\b.doc\n"}},
       nullptr, {"Invalid folder name:\tlength less than 4!"}, {"C:\\d\\a.doc", "C:\\d\\b.doc"}, 1},
      {"a file the routine fails", {{kFirst, "C:\\d\\fail\\..\\a.doc\n"}}, nullptr, {}, {"C:\\d\\fail\\..\\a.doc"}, 1},
      {"the only list disowned",
       {{kFirst, "C:\\d\\a.doc\n"}},
       [](const std::string&) { return false; }, {"Open file failure."}, {}, 1},
      {"one of two disowned",
       {{kFirst, "C:\\d\\a.doc\n"}, {kSecond, "C:\\d\\b.doc\n"}},
       [](const std::string& list) { return list == InstallFile(kSecond); }, {}, {"C:\\d\\b.doc"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* name : {kFirst, kSecond}) DeleteFileA(InstallFile(name).c_str());
    for (const auto& [name, content] : c.lists) Write(InstallFile(name), content);
    xp::ui::Script script;
    for (const std::string& refusal : c.refusals) {
      script.ExpectBox(kCaption, refusal, MB_OK | MB_ICONEXCLAMATION).Answer(IDOK);
    }
    machine_.Play(script);
    std::vector<std::string> recovered;
    unsigned int not_recovered = 0;
    RecoverFileLists(
        nullptr, {kFirst, kSecond}, kCaption,
        [&recovered](const std::string& path) {
          recovered.push_back(path);
          return path.find("fail") == std::string::npos ? kConverted : kReadFailed;
        },
        &not_recovered, c.belongs);
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    EXPECT_EQ(recovered, c.recovered);
    EXPECT_EQ(not_recovered, c.not_recovered);
  }
}

}  // namespace
}  // namespace tavik::conversion
