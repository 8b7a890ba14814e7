// CDialog as the system's dialog classes use it: OnOK validation that shows AfxMessageBox and keeps the dialog
// open, a handler raised by typing past an edit's limit, a long handler that pumps and stops on a Cancel clicked
// meanwhile, message maps that inherit and override handlers, GetDlgItem's control objects, DoModal's -1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework_fixture.h"
#include "sample_dlg.h"
#include "xp/ui_script.h"

// The test program's application object: AfxMessageBox captions carry its name.
CWinApp test_app("Sample App");

namespace xp::mfc::testing {
namespace {

using DialogTest = FrameworkTest;

TEST_F(DialogTest, OnOkKeepsTheDialogOpenUntilThePasswordsAreGood) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog, "Sample").Type(kPassword, "secret12").Type(kConfirm, "secret13").Click(IDOK);
  script.ExpectBox("Sample App", "The passwords you have entered do not match.", MB_ICONERROR).Answer(IDOK);
  script.Dialog(kSampleDialog).Type(kPassword, "abc").Type(kConfirm, "abc").Enter();
  script.ExpectBox("Sample App", "Your password must be 6 to 8 characters in length.", MB_ICONERROR).Answer(IDOK);
  script.Dialog(kSampleDialog).Type(kPassword, "secret12").Type(kConfirm, "secret12").Check(kRemember).Click(IDOK);
  Play(script);
  CSampleDlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_password, "secret12");
  EXPECT_TRUE(dialog.m_remember);
  EXPECT_EQ(dialog.handled, (std::vector<std::string>{"OnOK", "OnOK", "OnOK"}));
  EXPECT_EQ(dialog.m_hWnd, nullptr);
  EXPECT_TRUE(Journaled(
      "box \"Sample App\" \"The passwords you have entered do not match.\" MB_OK|MB_ICONERROR -> OK"));
  EXPECT_EQ(UiJournal().back(), "dialog 300 end 1");
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

TEST_F(DialogTest, TypingPastTheLimitKeepsTheLimitAndRunsTheMaxTextHandler) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Type(kPassword, "123456789");
  script.ExpectBox("Sample App", "Maximum length of the password is 8 characters.", MB_OK).Answer(IDOK);
  script.Dialog(kSampleDialog).Escape();
  Play(script);
  CSampleDlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.handled, (std::vector<std::string>{"OnPasswordFull", "OnCancel"}));
  EXPECT_TRUE(Journaled("dialog 300 control 1000 edit \"********\" password limit=8"));
}

TEST_F(DialogTest, ACancelClickedDuringALongHandlerStopsTheWork) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Click(kStart);
  script.Pump(kSampleDialog).Click(IDCANCEL);
  script.Dialog(kSampleDialog).Click(IDCANCEL);
  Play(script);
  CSampleDlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_TRUE(dialog.cancelled);
  EXPECT_EQ(dialog.files_done, 1);
  EXPECT_EQ(dialog.handled, (std::vector<std::string>{"OnStart", "OnCancel", "OnCancel"}));
  const std::vector<std::string> journal = UiJournal();
  const std::vector<std::string> tail(journal.end() - 7, journal.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "dialog 300: click 1004",
                      "dialog 300 control 1004 button \"Start\" disabled",
                      "dialog 300 control 1003 progress \"\" pos=0 range=0..5",
                      "dialog 300 control 1003 progress \"\" pos=1 range=0..5",
                      "pump 300: click IDCANCEL",
                      "dialog 300: click IDCANCEL",
                      "dialog 300 end 2",
                  }));
}

TEST_F(DialogTest, MessageMapsOverrideAndInheritHandlers) {
  xp::ui::Script script;
  script.Dialog(kCloseProofDialog).Close().Click(kStart).Escape();
  Play(script);
  CCloseProofDlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.handled, (std::vector<std::string>{"OnClose", "CCloseProofDlg::OnStart", "OnCancel"}));
}

// A dialog that checks its controls' objects while it is set up, then ends at once.
class CInspectingDlg : public CSampleDlg {
 public:
  BOOL OnInitDialog() override {
    CSampleDlg::OnInitDialog();
    edit = dynamic_cast<CEdit*>(GetDlgItem(kPassword));
    check_box = dynamic_cast<CButton*>(GetDlgItem(kRemember));
    progress = dynamic_cast<CProgressCtrl*>(GetDlgItem(kProgress));
    same_edit = GetDlgItem(kPassword) == edit;
    self = CWnd::FromHandle(m_hWnd) == this;
    missing = GetDlgItem(4242) == nullptr;
    if (edit != nullptr) {
      edit->SetPasswordChar(0);
      edit->SetWindowText("abc");
      edit->SetSel(3, 3);
      edit->ReplaceSel("def");
      GetDlgItemText(kPassword, text);
    }
    if (progress != nullptr) {
      progress->SetRange32(0, 70000);
      progress->SetPos(65000);
      progress->GetRange(low, high);
      position = progress->GetPos();
    }
    if (check_box != nullptr) {
      check_box->SetCheck(BST_CHECKED);
      checked = IsDlgButtonChecked(kRemember) == BST_CHECKED;
    }
    EndDialog(IDABORT);
    return TRUE;
  }

  CEdit* edit = nullptr;
  CButton* check_box = nullptr;
  CProgressCtrl* progress = nullptr;
  bool same_edit = false;
  bool self = false;
  bool missing = false;
  bool checked = false;
  CString text;
  int low = -1;
  int high = -1;
  int position = -1;
};

TEST_F(DialogTest, GetDlgItemGivesObjectsOfTheControlsClass) {
  CInspectingDlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDABORT);
  EXPECT_NE(dialog.edit, nullptr);
  EXPECT_NE(dialog.check_box, nullptr);
  EXPECT_NE(dialog.progress, nullptr);
  EXPECT_TRUE(dialog.same_edit);
  EXPECT_TRUE(dialog.self);
  EXPECT_TRUE(dialog.missing);
  EXPECT_EQ(dialog.text, "abcdef");
  EXPECT_EQ(dialog.low, 0);
  EXPECT_EQ(dialog.high, 70000);
  EXPECT_EQ(dialog.position, 65000);
  EXPECT_TRUE(dialog.checked);
  EXPECT_EQ(UiJournal(), std::vector<std::string>{});  // never shown
}

TEST_F(DialogTest, DoModalOfAnUnknownTemplateIsMinusOne) {
  CDialog dialog(999);
  EXPECT_EQ(dialog.DoModal(), -1);
}

TEST(CStringTest, FormatsJoinsAndCompares) {
  CString text;
  text.Format("Verify password failed. You have %d more attempt(s).", 2);
  EXPECT_STREQ(static_cast<LPCTSTR>(text), "Verify password failed. You have 2 more attempt(s).");
  EXPECT_EQ(text.GetLength(), 51);
  CString long_text;
  long_text.Format("%s", std::string(1000, 'x').c_str());
  EXPECT_EQ(long_text.GetLength(), 1000);
  CString joined = CString("Quillmarsh") + " " + CString("Tavik");
  joined += '!';
  EXPECT_EQ(joined, "Quillmarsh Tavik!");
  EXPECT_TRUE(joined != "Quillmarsh tavik!");
  EXPECT_EQ(joined.CompareNoCase("QUILLMARSH TAVIK!"), 0);
  EXPECT_LT(CString("abc").Compare("abd"), 0);
  EXPECT_EQ(joined.GetAt(0), 'Q');
  CString empty(static_cast<LPCTSTR>(nullptr));
  EXPECT_TRUE(empty.IsEmpty());
  joined.Empty();
  EXPECT_TRUE(joined.IsEmpty());
}

}  // namespace
}  // namespace xp::mfc::testing
