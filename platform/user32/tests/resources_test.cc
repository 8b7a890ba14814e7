// The program's string table and icons as its resources declare them: LoadStringA cuts to the caller's buffer and
// tells a missing string apart only by its 0; LoadIconA knows only the numbers declared; the icons set on a
// dialog are journaled with their numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sample_dialog.h"
#include "winres.h"

namespace xp::user32::testing {
namespace {

constexpr int kAboutText = 101;
constexpr int kEmptyText = 102;
constexpr int kMissingText = 103;
constexpr int kMainIcon = 128;
constexpr int kOtherIcon = 130;

const xp::res::StringResources kStrings = {{kAboutText, "&About Sample Tool"}, {kEmptyText, ""}};
const xp::res::IconResources kIcons = {kMainIcon, kOtherIcon};

using ResourcesTest = DialogTest;

TEST(StringResourcesTest, LoadStringCopiesWhatFitsAndReportsAMissingString) {
  const struct {
    const char* situation;
    int id;
    int buffer_max;
    int copied;
    const char* text;
    DWORD error;  // 0: not checked
  } rows[] = {
      {"room to spare", kAboutText, 64, 18, "&About Sample Tool", 0},
      {"exactly enough", kAboutText, 19, 18, "&About Sample Tool", 0},
      {"one short", kAboutText, 18, 17, "&About Sample Too", 0},
      {"room for five", kAboutText, 6, 5, "&Abou", 0},
      {"room for the NUL alone", kAboutText, 1, 0, "", 0},
      {"an empty string", kEmptyText, 64, 0, "", ERROR_RESOURCE_NAME_NOT_FOUND},
      {"a missing string", kMissingText, 64, 0, "", ERROR_RESOURCE_NAME_NOT_FOUND},
      {"no buffer size", kAboutText, 0, 0, "stale", ERROR_INVALID_PARAMETER},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.situation);
    char buffer[64] = "stale";
    SetLastError(0);
    EXPECT_EQ(LoadStringA(nullptr, static_cast<UINT>(row.id), buffer, row.buffer_max), row.copied);
    EXPECT_STREQ(buffer, row.text);
    if (row.error != 0) {
      EXPECT_EQ(GetLastError(), row.error);
    }
  }
}

TEST(IconResourcesTest, LoadIconFindsOnlyDeclaredIconsAndGivesOneHandleEach) {
  const HICON main = LoadIconA(nullptr, MAKEINTRESOURCEA(kMainIcon));
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(kMainIcon)), main);
  const HICON other = LoadIconA(nullptr, MAKEINTRESOURCEA(kOtherIcon));
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other, main);
  SetLastError(0);
  EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(129)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(LoadIconA(nullptr, "named"), nullptr);
}

TEST_F(ResourcesTest, TheIconsSetOnADialogAreJournaledAndEachSlotKeepsItsOwn) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Click(IDOK);
  Play(script);
  std::vector<LRESULT> previous;
  SampleDialog sample;
  sample.on_init = [&previous](HWND dialog) {
    const HICON main = LoadIconA(nullptr, MAKEINTRESOURCEA(kMainIcon));
    const HICON other = LoadIconA(nullptr, MAKEINTRESOURCEA(kOtherIcon));
    previous.push_back(SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(main)));
    previous.push_back(SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(other)));
    previous.push_back(SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(other)));
    previous.push_back(SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(main)));
  };
  EXPECT_EQ(RunSample(sample), IDOK);
  const HICON main = LoadIconA(nullptr, MAKEINTRESOURCEA(kMainIcon));
  const HICON other = LoadIconA(nullptr, MAKEINTRESOURCEA(kOtherIcon));
  EXPECT_EQ(previous, (std::vector<LRESULT>{0, 0, reinterpret_cast<LRESULT>(main), reinterpret_cast<LRESULT>(other)}));
  std::vector<std::string> icons;
  for (const std::string& line : UiJournal()) {
    if (line.find(" icon ") != std::string::npos) icons.push_back(line);
  }
  EXPECT_EQ(icons, (std::vector<std::string>{"dialog 200 icon big 128", "dialog 200 icon small 130",
                                             "dialog 200 icon big 130", "dialog 200 icon small 128"}));
}

}  // namespace
}  // namespace xp::user32::testing
