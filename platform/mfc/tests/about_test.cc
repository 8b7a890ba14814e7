// The About item a dialog adds to its system menu: present only while its string resource has a text, and
// chosen, it shows the box owned by the dialog with the caption and text the program passed; other system
// commands pass on to the dialog manager, and the low four bits of a command are the system's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afxabout.h"
#include "framework_fixture.h"
#include "xp/ui_script.h"

namespace xp::mfc::testing {
namespace {

constexpr UINT kAboutDialog = 100;
constexpr UINT kHostDialog = 310;
constexpr int kAboutText = 1035;
constexpr UINT kMenuText = 101;
constexpr UINT kEmptyMenuText = 102;
constexpr UINT kAboutCommand = 16;

const xp::res::DialogResources kDialogs = {
    {kAboutDialog, "About", {xp::res::LText("", kAboutText), xp::res::DefPushButton("OK", IDOK, WS_GROUP)}},
    {kHostDialog, "Host", {xp::res::DefPushButton("OK", IDOK), xp::res::PushButton("Cancel", IDCANCEL)}},
};
constexpr UINT kLongText = 104;
const std::string kLong = std::string(255, 'a') + std::string(300, 'b');
const xp::res::StringResources kStrings = {
    {kMenuText, "&About Sample Tool..."}, {kEmptyMenuText, ""}, {kLongText, kLong.c_str()}};

class CHostDlg : public CDialog {
 public:
  explicit CHostDlg(const AboutBox& about) : CDialog(kHostDialog), about_(about) {}
  std::vector<UINT> extra_items;  // more system-menu commands, added after the About item
  std::vector<UINT> passed_on;    // the system commands that were not the About item's

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    AddAboutItem(*this, about_);
    for (const UINT command : extra_items) ::AppendMenuA(::GetSystemMenu(m_hWnd, FALSE), MF_STRING, command, "More");
    return TRUE;
  }
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam) {
    if (ShowAboutBox(*this, about_, nID)) return;
    passed_on.push_back(nID);
    CDialog::OnSysCommand(nID, lParam);
  }

 private:
  const AboutBox& about_;
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHostDlg, CDialog)
ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

using AboutTest = FrameworkTest;

TEST(CStringLoadTest, LoadsTheWholeStringOrNothing) {
  CString text("stale");
  EXPECT_TRUE(text.LoadString(kLongText));
  EXPECT_EQ(std::string(text), kLong);
  EXPECT_TRUE(text.LoadString(kMenuText));
  EXPECT_EQ(text, "&About Sample Tool...");
  for (const UINT missing : {kEmptyMenuText, UINT{103}}) {
    text = "stale";
    EXPECT_FALSE(text.LoadString(missing));
    EXPECT_TRUE(text.IsEmpty());
  }
}

TEST_F(AboutTest, TheItemShowsTheBoxWithTheProgramsWordsOverTheDialog) {
  const AboutBox about = {kAboutDialog, kMenuText, kAboutCommand, "About Sample Tool", kAboutText,
                          "Sample Tool\r\nVersion 1.0"};
  xp::ui::Script script;
  script.Dialog(kHostDialog, "Host").SystemMenu(kAboutCommand);
  script.Dialog(kAboutDialog, "About Sample Tool").Click(IDOK);
  script.Dialog(kHostDialog).SystemMenu(kAboutCommand);
  script.Dialog(kAboutDialog).Enter();
  script.Dialog(kHostDialog).Click(IDOK);
  Play(script);
  CHostDlg dialog(about);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(dialog.passed_on.empty());
  EXPECT_TRUE(Journaled("dialog 100 control 1035 static \"Sample Tool\\r\\nVersion 1.0\""));
  EXPECT_EQ(UiJournal().back(), "dialog 310 end 1");
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

TEST_F(AboutTest, WithoutTheItemsTextThereIsNoItemToChoose) {
  for (const UINT menu_text : {kEmptyMenuText, UINT{103}}) {
    SCOPED_TRACE(menu_text);
    const AboutBox about = {kAboutDialog, menu_text, kAboutCommand, "About", kAboutText, "never shown"};
    xp::ui::Script script;
    script.Dialog(kHostDialog).SystemMenu(kAboutCommand);
    Play(script);
    EXPECT_EXIT(
        {
          CHostDlg dialog(about);
          dialog.DoModal();
        },
        ::testing::ExitedWithCode(xp::ui::kUiFailureExitCode), "dialog 310 has no system-menu item 16");
  }
}

TEST_F(AboutTest, OtherCommandsPassOnAndTheLowBitsAreTheSystems) {
  // No caption and no text passed: the template's stay.
  const AboutBox about = {kAboutDialog, kMenuText, kAboutCommand, nullptr, kAboutText, nullptr};
  xp::ui::Script script;
  script.Dialog(kHostDialog).SystemMenu(32).SystemMenu(kAboutCommand | 3);
  script.Dialog(kAboutDialog, "About").Click(IDOK);
  script.Dialog(kHostDialog).Click(IDOK);
  Play(script);
  CHostDlg dialog(about);
  dialog.extra_items = {32, kAboutCommand | 3};
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.passed_on, (std::vector<UINT>{32}));
  EXPECT_TRUE(Journaled("dialog 100 control 1035 static \"\""));
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

}  // namespace
}  // namespace xp::mfc::testing
