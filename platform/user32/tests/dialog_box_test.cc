// Modal dialogs through DialogBoxParam: the journal of a dialog's life, the keyboard and the close box as the dialog
// manager handles them, EndDialog codes (also during WM_INITDIALOG and from a nested dialog), templates that cannot
// be found or made, handles that outlive their dialog, and Ctrl+Alt+Del.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sample_dialog.h"
#include "winres.h"
#include "xp/dialogs.h"
#include "xp/loader.h"
#include "xp/ui_script.h"

namespace xp::user32::testing {
namespace {

using DialogBoxTest = DialogTest;

const std::vector<std::string> kSampleOpened = {
    "dialog 200 \"Sample\" open",
    "dialog 200 control 1010 static \"Password:\"",
    "dialog 200 control 1000 edit \"\" password limit=8",
    "dialog 200 control 1001 edit \"\"",
    "dialog 200 control 1002 check \"Remember\"",
    "dialog 200 control 1003 radio \"Token\" checked",
    "dialog 200 control 1004 radio \"Key Answer\"",
    "dialog 200 control 1005 combo \"\" items=\"Administrator\",\"User\"",
    "dialog 200 control 1006 progress \"\" pos=0 range=0..100",
    "dialog 200 control 1007 button \"Help\" disabled",
    "dialog 200 control 1008 button \"Apply\"",
    "dialog 200 control 1009 static \"not shown\" hidden",
    "dialog 200 control 1012 edit \"\" readonly",
    "dialog 200 control IDOK button \"OK\" default",
    "dialog 200 control IDCANCEL button \"Cancel\"",
};

std::vector<std::string> Joined(std::vector<std::string> lines, const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

TEST_F(DialogBoxTest, JournalsTheDialogAsShownEachChangeAndTheResult) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog, "Sample").Type(kPassword, "secret1234").Click(kRemember).Click(IDOK);
  Play(script);
  SampleDialog sample;
  std::string password_at_ok;
  sample.on_command = [&](HWND dialog, int id) {
    if (id == IDOK) password_at_ok = DlgItemText(dialog, kPassword);
  };
  EXPECT_EQ(RunSample(sample), 1);
  EXPECT_EQ(password_at_ok, "secret12");
  EXPECT_EQ(sample.messages, (std::vector<std::string>{"init", "command 1000 change", "command 1000 maxtext",
                                                       "command 1002 clicked", "command 1 clicked"}));
  EXPECT_EQ(UiJournal(), Joined(kSampleOpened, {
                                                   "dialog 200: type 1000 \"**********\"",
                                                   "dialog 200 control 1000 edit \"********\" password limit=8",
                                                   "dialog 200: click 1002",
                                                   "dialog 200 control 1002 check \"Remember\" checked",
                                                   "dialog 200: click IDOK",
                                                   "dialog 200 end 1",
                                               }));
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

TEST_F(DialogBoxTest, ChangesTheProgramMakesWhileTheDialogIsUpAreJournaledOnlyWhenTheyChangeSomething) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Click(kApply).Click(IDOK);
  Play(script);
  SampleDialog sample;
  sample.on_init = [](HWND dialog) { SetWindowTextA(dialog, "Sample, set up"); };
  sample.on_apply = [](HWND dialog) {
    SetDlgItemTextA(dialog, kLog, "Checking ...");
    SetDlgItemTextA(dialog, kLog, "Checking ...");  // the same text again: nothing new to see
    EnableWindow(GetDlgItem(dialog, kHelp), TRUE);
    ShowWindow(GetDlgItem(dialog, kProgress), SW_HIDE);
    SendDlgItemMessageA(dialog, kProgress, PBM_SETPOS, 40, 0);
  };
  EXPECT_EQ(RunSample(sample), 1);
  std::vector<std::string> opened = kSampleOpened;
  opened[0] = "dialog 200 \"Sample, set up\" open";
  EXPECT_EQ(UiJournal(), Joined(opened, {
                                            "dialog 200: click 1008",
                                            "dialog 200 control 1012 edit \"Checking ...\" readonly",
                                            "dialog 200 control 1007 button \"Help\"",
                                            "dialog 200 control 1006 progress \"\" hidden pos=0 range=0..100",
                                            "dialog 200 control 1006 progress \"\" hidden pos=40 range=0..100",
                                            "dialog 200: click IDOK",
                                            "dialog 200 end 1",
                                        }));
}

// Enter presses the focused push button, else the default one; Esc is IDCANCEL; the close box sends WM_CLOSE,
// which the dialog manager turns into IDCANCEL unless the procedure handles it or Cancel is disabled.
TEST_F(DialogBoxTest, EnterEscapeAndTheCloseBox) {
  struct Case {
    const char* name;
    std::function<void(xp::ui::Script::DialogStep&)> actions;
    std::function<void(SampleDialog&)> setup;
    INT_PTR result;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases = {
      {"enter presses the default button", [](auto& step) { step.Enter(); }, nullptr, 1,
       {"init", "command 1 clicked"}},
      {"enter after a click presses the focused button",
       [](auto& step) { step.Click(kApply).Enter().Click(IDCANCEL); }, nullptr, 2,
       {"init", "command 1008 clicked", "command 1008 clicked", "command 2 clicked"}},
      {"enter in an edit presses the default button", [](auto& step) { step.Enter(kPin); }, nullptr, 1,
       {"init", "command 1 clicked"}},
      {"enter does nothing while the default button is disabled",
       [](auto& step) { step.Enter().Click(IDCANCEL); },
       [](SampleDialog& sample) { sample.on_init = [](HWND dialog) { EnableWindow(GetDlgItem(dialog, IDOK), 0); }; },
       2, {"init", "command 2 clicked"}},
      {"escape is IDCANCEL", [](auto& step) { step.Escape(); }, nullptr, 2, {"init", "command 2 clicked"}},
      {"escape is IDCANCEL even with Cancel disabled", [](auto& step) { step.Escape(); },
       [](SampleDialog& sample) {
         sample.on_init = [](HWND dialog) { EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE); };
       },
       2, {"init", "command 2 clicked"}},
      {"the close box cancels", [](auto& step) { step.Close(); }, nullptr, 2,
       {"init", "close", "command 2 clicked"}},
      {"a handled close keeps the dialog", [](auto& step) { step.Close().Click(IDOK); },
       [](SampleDialog& sample) { sample.handle_close = true; }, 1, {"init", "close", "command 1 clicked"}},
      {"the close box does nothing while Cancel is disabled", [](auto& step) { step.Close().Enter(); },
       [](SampleDialog& sample) {
         sample.on_init = [](HWND dialog) { EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE); };
       },
       1, {"init", "close", "command 1 clicked"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    xp::ui::Script script;
    xp::ui::Script::DialogStep step = script.Dialog(kSampleDialog);
    c.actions(step);
    Play(script);
    SampleDialog sample;
    if (c.setup) c.setup(sample);
    EXPECT_EQ(RunSample(sample), c.result);
    EXPECT_EQ(sample.messages, c.messages);
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  }
}

TEST_F(DialogBoxTest, ADialogEndedWhileItIsSetUpIsNeverShown) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Click(IDOK);
  Play(script);
  SampleDialog sample;
  sample.on_init = [](HWND dialog) {
    SetDlgItemTextA(dialog, kLog, "Get system status error failure.");
    EndDialog(dialog, 7);
    EndDialog(dialog, 1);  // the last EndDialog decides
  };
  EXPECT_EQ(RunSample(sample), 1);
  EXPECT_EQ(sample.messages, (std::vector<std::string>{"init"}));
  EXPECT_EQ(UiJournal(), std::vector<std::string>{});
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 1u);
}

TEST_F(DialogBoxTest, ANestedDialogLivesInsideItsOwnersHandler) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Click(kApply);
  script.Dialog(kMessageDialog, "Message").Enter();
  script.Dialog(kSampleDialog).Click(IDOK);
  Play(script);
  SampleDialog sample;
  INT_PTR nested = 0;
  sample.on_apply = [&](HWND dialog) { nested = ShowMessageDialog(dialog, "Check password failed."); };
  EXPECT_EQ(RunSample(sample), 1);
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(UiJournal(kSampleOpened.size()), (std::vector<std::string>{
                                                 "dialog 200: click 1008",
                                                 "dialog 201 \"Message\" open",
                                                 "dialog 201 control 1101 static \"Check password failed.\"",
                                                 "dialog 201 control IDOK button \"OK\" default",
                                                 "dialog 201: enter",
                                                 "dialog 201 end 1",
                                                 "dialog 200: click IDOK",
                                                 "dialog 200 end 1",
                                             }));
}

// Controls the dialog manager does not make: a three-state button and a combo box the user types into.
const xp::res::DialogResources kUnsupportedDialogs = {
    {300, "Three states", {xp::res::ControlTemplate{xp::res::ControlClass::kButton, "Maybe", 1, WS_VISIBLE | 0x5}}},
    {301, "Typed combo", {xp::res::ComboBox(1, 0x0002)}},
};

TEST_F(DialogBoxTest, TemplatesThatCannotBeFoundOrMadeFail) {
  const struct {
    LPCSTR name;
    DWORD error;
  } cases[] = {
      {MAKEINTRESOURCEA(999), ERROR_RESOURCE_NAME_NOT_FOUND},
      {"IDD_SAMPLE", ERROR_RESOURCE_NAME_NOT_FOUND},
      {MAKEINTRESOURCEA(300), ERROR_CALL_NOT_IMPLEMENTED},
      {MAKEINTRESOURCEA(301), ERROR_CALL_NOT_IMPLEMENTED},
  };
  for (const auto& c : cases) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(DialogBoxParamA(nullptr, c.name, nullptr, nullptr, 0), -1);
    EXPECT_EQ(GetLastError(), c.error);
  }
  // The program's templates are not another module's.
  SetLastError(0xdeadbeef);
  EXPECT_EQ(DialogBoxParamW(xp::ModuleOf(reinterpret_cast<const void*>(&DialogBoxParamW)),
                            MAKEINTRESOURCEW(kSampleDialog), nullptr, nullptr, 0),
            -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(UiJournal(), std::vector<std::string>{});
}

TEST_F(DialogBoxTest, HandlesFailOnceTheirDialogIsGone) {
  SampleDialog sample;
  HWND dialog = nullptr;
  HWND edit = nullptr;
  sample.on_init = [&](HWND window) {
    dialog = window;
    edit = GetDlgItem(window, kPassword);
    EndDialog(window, 3);
  };
  ASSERT_EQ(RunSample(sample), 3);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_FALSE(IsWindow(edit));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetDlgItem(dialog, kPassword), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetWindowTextA(edit, "late"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EndDialog(dialog, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(DialogBoxTest, GetDlgItemFailsForAnIdTheDialogDoesNotHave) {
  SampleDialog sample;
  sample.on_init = [](HWND dialog) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetDlgItem(dialog, 4242), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));
    EXPECT_EQ(GetDlgCtrlID(GetDlgItem(dialog, kPin)), kPin);
    char class_name[32];
    EXPECT_EQ(GetClassNameA(GetDlgItem(dialog, kProgress), class_name, sizeof class_name), 17);
    EXPECT_STREQ(class_name, "msctls_progress32");
    EndDialog(dialog, 0);
  };
  RunSample(sample);
}

TEST_F(DialogBoxTest, SecureAttentionEventsGoToTheHandlerWhenThereIsOne) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).CtrlAltDel().Click(IDOK);
  script.Dialog(kSampleDialog).CtrlAltDel();
  script.Dialog(kSampleDialog).Sas("screen-saver");
  Play(script);
  SampleDialog ignored;
  EXPECT_EQ(RunSample(ignored), 1);  // no handler: the keys do nothing to the dialog
  SetSecureAttentionHandler([](HWND dialog, DWORD sas) { EndDialog(dialog, 100 + sas); });
  SampleDialog ended;
  EXPECT_EQ(RunSample(ended), 101);
  SampleDialog screen_saver;
  EXPECT_EQ(RunSample(screen_saver), 102);
  SetSecureAttentionHandler(nullptr);
  EXPECT_EQ(ended.messages, (std::vector<std::string>{"init"}));
}

}  // namespace
}  // namespace xp::user32::testing
