// A dialog's system menu: the items the program adds at WM_INITDIALOG are what the user may choose, in the order
// the program put them; choosing one sends WM_SYSCOMMAND with its command, and an item the program never added
// cannot be chosen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sample_dialog.h"
#include "xp/ui_script.h"

namespace xp::user32::testing {
namespace {

constexpr UINT kAbout = 16;
constexpr UINT kHelpItem = 17;

using SystemMenuTest = DialogTest;

// What the procedure heard, and how it builds its menu at WM_INITDIALOG.
struct MenuDialog {
  void (*build)(HWND dialog) = nullptr;
  std::vector<std::string> heard;
};

INT_PTR CALLBACK MenuProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  static MenuDialog* current = nullptr;
  if (message == WM_INITDIALOG) {
    current = reinterpret_cast<MenuDialog*>(lparam);
    if (current->build != nullptr) current->build(dialog);
    return TRUE;
  }
  if (message == WM_SYSCOMMAND) {
    current->heard.push_back("syscommand " + std::to_string(wparam));
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
    EndDialog(dialog, IDOK);
    return TRUE;
  }
  return FALSE;
}

INT_PTR RunMenuDialog(MenuDialog& menu) {
  return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kSampleDialog), nullptr, MenuProc,
                         reinterpret_cast<LPARAM>(&menu));
}

void AddAboutAndHelp(HWND dialog) {
  HMENU menu = GetSystemMenu(dialog, FALSE);
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(AppendMenuA(menu, MF_SEPARATOR, 0, nullptr));
  ASSERT_TRUE(AppendMenuA(menu, MF_STRING, kHelpItem, "Help"));
  ASSERT_TRUE(InsertMenuA(menu, kHelpItem, MF_BYCOMMAND | MF_STRING, kAbout, "About..."));
}

TEST_F(SystemMenuTest, ChoosingAnAddedItemSendsItsCommand) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).SystemMenu(kAbout).SystemMenu(kHelpItem).Click(IDOK);
  Play(script);
  MenuDialog menu{AddAboutAndHelp, {}};
  EXPECT_EQ(RunMenuDialog(menu), IDOK);
  EXPECT_EQ(menu.heard, (std::vector<std::string>{"syscommand 16", "syscommand 17"}));
  const std::vector<std::string> journal = UiJournal();
  ASSERT_GE(journal.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(journal.end() - 4, journal.end()),
            (std::vector<std::string>{"dialog 200: system-menu 16", "dialog 200: system-menu 17",
                                      "dialog 200: click IDOK", "dialog 200 end 1"}));
}

TEST_F(SystemMenuTest, AnItemTheProgramDidNotAddCannotBeChosen) {
  const struct {
    const char* name;
    void (*build)(HWND dialog);
  } cases[] = {
      {"no items", nullptr},
      {"reverted", [](HWND dialog) {
         AddAboutAndHelp(dialog);
         EXPECT_EQ(GetSystemMenu(dialog, TRUE), nullptr);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    xp::ui::Script script;
    script.Dialog(kSampleDialog).SystemMenu(kAbout);
    Play(script);
    EXPECT_EXIT(
        {
          MenuDialog menu;
          menu.build = c.build;
          RunMenuDialog(menu);
        },
        ::testing::ExitedWithCode(xp::ui::kUiFailureExitCode), "dialog 200 has no system-menu item 16");
  }
}

TEST_F(SystemMenuTest, MenuCallsRefuseWhatIsNoDialogsMenu) {
  HMENU stale = reinterpret_cast<HMENU>(static_cast<uintptr_t>(0x4321));
  SetLastError(0);
  EXPECT_FALSE(AppendMenuA(stale, MF_STRING, kAbout, "About..."));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
  EXPECT_EQ(GetSystemMenu(reinterpret_cast<HWND>(stale), FALSE), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
}  // namespace xp::user32::testing
