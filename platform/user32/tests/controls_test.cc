// The controls as the user and the program see them: typing against limits and digits-only edits, refusals of
// disabled and hidden controls, check boxes and radio groups, combo selections, the progress bar's range and
// steps, an edit's selection, and texts through A and W buffers of every size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sample_dialog.h"
#include "xp/ui.h"
#include "xp/ui_script.h"

namespace xp::user32::testing {
namespace {

using DialogControlsTest = DialogTest;

TEST_F(DialogControlsTest, TypingKeepsWhatTheEditAccepts) {
  const struct {
    int control;
    std::string typed;
    std::string kept;
    bool maxtext;
  } cases[] = {
      {kPassword, "secret12", "secret12", false},    // exactly the limit
      {kPassword, "secret123", "secret12", true},    // one past it
      {kPassword, "", "", false},
      {kPin, "12a3-4 5", "12345", false},            // ES_NUMBER refuses the rest
      {kPin, std::string(40000, '7'), std::string(32767, '7'), true},  // the default limit
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed.substr(0, 20));
    xp::ui::Script script;
    script.Dialog(kSampleDialog).Type(c.control, c.typed).Click(IDOK);
    Play(script);
    SampleDialog sample;
    std::string at_ok;
    sample.on_command = [&](HWND dialog, int id) {
      if (id == IDOK) at_ok = DlgItemText(dialog, c.control);
    };
    EXPECT_EQ(RunSample(sample), 1);
    EXPECT_EQ(at_ok, c.kept);
    const std::string id = std::to_string(c.control);
    std::vector<std::string> expected = {"init", "command " + id + " change"};
    if (c.maxtext) expected.push_back("command " + id + " maxtext");
    expected.push_back("command 1 clicked");
    EXPECT_EQ(sample.messages, expected);
  }
}

TEST_F(DialogControlsTest, ProgramTextIsNeverCutByTheTypingLimit) {
  SampleDialog sample;
  sample.on_init = [](HWND dialog) {
    SetDlgItemTextA(dialog, kPassword, "longer than eight");
    EXPECT_EQ(DlgItemText(dialog, kPassword), "longer than eight");
    EndDialog(dialog, 0);
  };
  RunSample(sample);
}

TEST_F(DialogControlsTest, DisabledAndHiddenControlsRefuseTheUser) {
  const struct {
    int control;
    bool program_disables;
    const char* reason;
  } cases[] = {
      {kHelp, false, "control 1007 is disabled"},
      {kApply, true, "control 1008 is disabled"},
      {kNote, false, "control 1009 is hidden"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    xp::ui::Script script;
    script.Dialog(kSampleDialog).Click(c.control);
    Play(script);
    EXPECT_EXIT(
        {
          SampleDialog sample;
          if (c.program_disables) {
            sample.on_init = [](HWND dialog) { EnableWindow(GetDlgItem(dialog, kApply), FALSE); };
          }
          RunSample(sample);
        },
        ::testing::ExitedWithCode(xp::ui::kUiFailureExitCode), c.reason);
  }
}

TEST_F(DialogControlsTest, CheckBoxesAndRadioGroups) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog)
      .Check(kRemember)
      .Check(kRemember)  // already checked: nothing to click
      .Click(kKeyAnswer)
      .Uncheck(kRemember)
      .Check(kToken)
      .Click(IDOK);
  Play(script);
  SampleDialog sample;
  std::vector<UINT> states;
  sample.on_command = [&](HWND dialog, int id) {
    if (id == IDOK) {
      for (const int control : {kRemember, kToken, kKeyAnswer}) states.push_back(IsDlgButtonChecked(dialog, control));
    }
  };
  EXPECT_EQ(RunSample(sample), 1);
  EXPECT_EQ(states, (std::vector<UINT>{BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED}));
  EXPECT_EQ(sample.messages, (std::vector<std::string>{"init", "command 1002 clicked", "command 1004 clicked",
                                                       "command 1002 clicked", "command 1003 clicked",
                                                       "command 1 clicked"}));
  const std::vector<std::string> journal = UiJournal(15);
  EXPECT_EQ(journal, (std::vector<std::string>{
                         "dialog 200: check 1002",
                         "dialog 200 control 1002 check \"Remember\" checked",
                         "dialog 200: check 1002",
                         "dialog 200: click 1004",
                         "dialog 200 control 1003 radio \"Token\"",
                         "dialog 200 control 1004 radio \"Key Answer\" checked",
                         "dialog 200: uncheck 1002",
                         "dialog 200 control 1002 check \"Remember\"",
                         "dialog 200: check 1003",
                         "dialog 200 control 1003 radio \"Token\" checked",
                         "dialog 200 control 1004 radio \"Key Answer\"",
                         "dialog 200: click IDOK",
                         "dialog 200 end 1",
                     }));
}

TEST_F(DialogControlsTest, TheProgramSetsChecksByIdWithoutClicks) {
  SampleDialog sample;
  sample.on_init = [](HWND dialog) {
    EXPECT_TRUE(CheckDlgButton(dialog, kRemember, BST_CHECKED));
    EXPECT_TRUE(CheckRadioButton(dialog, kToken, kKeyAnswer, kKeyAnswer));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRemember), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kToken), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kKeyAnswer), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDOK), static_cast<UINT>(BST_UNCHECKED));  // a push button has none
    EXPECT_FALSE(CheckDlgButton(dialog, 4242, BST_CHECKED));
    EndDialog(dialog, 0);
  };
  RunSample(sample);
  EXPECT_EQ(sample.messages, (std::vector<std::string>{"init"}));
}

TEST_F(DialogControlsTest, ComboBoxSelection) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Select(kAccounts, "User").Click(IDOK);
  Play(script);
  SampleDialog sample;
  LRESULT selected = -2;
  std::string text;
  sample.on_init = [](HWND dialog) {
    EXPECT_EQ(SendDlgItemMessageA(dialog, kAccounts, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kAccounts, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kAccounts, CB_SETCURSEL, 5, 0), CB_ERR);
  };
  sample.on_command = [&](HWND dialog, int id) {
    if (id != IDOK) return;
    selected = SendDlgItemMessageA(dialog, kAccounts, CB_GETCURSEL, 0, 0);
    char item[32] = "";
    EXPECT_EQ(SendDlgItemMessageA(dialog, kAccounts, CB_GETLBTEXTLEN, 1, 0), 4);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kAccounts, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item)), 4);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kAccounts, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(item)), CB_ERR);
    text = DlgItemText(dialog, kAccounts);
  };
  EXPECT_EQ(RunSample(sample), 1);
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(text, "User");
  EXPECT_EQ(sample.messages, (std::vector<std::string>{"init", "command 1005 selchange", "command 1 clicked"}));
  EXPECT_EQ(UiJournal(16).front(),
            "dialog 200 control 1005 combo \"User\" items=\"Administrator\",\"User\" selected=1");
}

TEST_F(DialogControlsTest, ProgressBarRangePositionAndSteps) {
  const struct {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    LRESULT answer;
    int position;
  } steps[] = {
      {PBM_GETPOS, 0, 0, 0, 0},
      {PBM_SETPOS, 150, 0, 0, 100},                                 // kept inside 0..100
      {PBM_SETRANGE, 0, MAKELPARAM(0, 40000), MAKELONG(0, 100), 100},  // 16 bits, unsigned
      {PBM_GETRANGE, FALSE, 0, 40000, 100},
      {PBM_SETPOS, 39995, 0, 100, 39995},
      {PBM_STEPIT, 0, 0, 39995, 5},                                 // past the maximum: starts over
      {PBM_SETSTEP, 1, 0, 10, 5},
      {PBM_STEPIT, 0, 0, 5, 6},
      {PBM_DELTAPOS, static_cast<WPARAM>(-10), 0, 6, 0},
      {PBM_SETRANGE32, 10, 70000, MAKELONG(0, 40000), 10},
      {PBM_GETRANGE, TRUE, 0, 10, 10},
      {PBM_GETRANGE, FALSE, 0, 70000, 10},
  };
  SampleDialog sample;
  sample.on_init = [&](HWND dialog) {
    for (size_t i = 0; i < std::size(steps); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(SendDlgItemMessageA(dialog, kProgress, steps[i].message, steps[i].wparam, steps[i].lparam),
                steps[i].answer);
      EXPECT_EQ(SendDlgItemMessageA(dialog, kProgress, PBM_GETPOS, 0, 0), steps[i].position);
    }
    PBRANGE range{};
    SendDlgItemMessageA(dialog, kProgress, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 10);
    EXPECT_EQ(range.iHigh, 70000);
    EndDialog(dialog, 0);
  };
  RunSample(sample);
}

TEST_F(DialogControlsTest, EditSelectionAndReplacement) {
  const struct {
    int start;
    int end;
    const char* replacement;
    const char* text;
  } steps[] = {
      {3, 3, "def", "abcdef"},    // appending at the end
      {-1, 0, "!", "abcdef!"},    // -1: no selection, the caret stays after the last insert
      {0, 1, "A", "Abcdef!"},
      {5, 2, "-", "Ab-f!"},       // a backwards selection
      {0, -1, "all", "all"},      // 0, -1 selects everything
      {99, 99, ".", "all."},      // positions past the end are the end
  };
  SampleDialog sample;
  sample.on_init = [&](HWND dialog) {
    SetDlgItemTextA(dialog, kLog, "abc");
    for (const auto& step : steps) {
      SCOPED_TRACE(step.text);
      SendDlgItemMessageA(dialog, kLog, EM_SETSEL, static_cast<WPARAM>(step.start), step.end);
      SendDlgItemMessageA(dialog, kLog, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(step.replacement));
      EXPECT_EQ(DlgItemText(dialog, kLog), step.text);
    }
    // New text puts the caret at the start.
    SetDlgItemTextA(dialog, kLog, "xyz");
    SendDlgItemMessageA(dialog, kLog, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(">"));
    EXPECT_EQ(DlgItemText(dialog, kLog), ">xyz");
    EndDialog(dialog, 0);
  };
  RunSample(sample);
}

TEST_F(DialogControlsTest, TextsThroughBuffersOfEverySize) {
  SampleDialog sample;
  sample.on_init = [](HWND dialog) {
    ASSERT_TRUE(SetDlgItemTextA(dialog, kLog, "abcdef"));
    const struct {
      int size;
      UINT copied;
      const char* text;
    } reads[] = {{1, 0, ""}, {4, 3, "abc"}, {6, 5, "abcde"}, {7, 6, "abcdef"}, {64, 6, "abcdef"}};
    for (const auto& read : reads) {
      SCOPED_TRACE(read.size);
      char buffer[64];
      std::fill(std::begin(buffer), std::end(buffer), 'x');
      EXPECT_EQ(GetDlgItemTextA(dialog, kLog, buffer, read.size), read.copied);
      EXPECT_STREQ(buffer, read.text);
    }
    char untouched[4] = "xyz";
    EXPECT_EQ(GetDlgItemTextA(dialog, kLog, untouched, 0), 0u);
    EXPECT_STREQ(untouched, "xyz");
    char missing[8] = "xyz";
    EXPECT_EQ(GetDlgItemTextA(dialog, 4242, missing, sizeof missing), 0u);
    EXPECT_STREQ(missing, "");

    // W texts keep every character; the A calls see the ANSI code page's.
    ASSERT_TRUE(SetDlgItemTextW(dialog, kLog, u"K\u00f6nig \u03a9"));
    char16_t wide[16];
    EXPECT_EQ(GetDlgItemTextW(dialog, kLog, reinterpret_cast<LPWSTR>(wide), 16), 7u);
    EXPECT_EQ(std::u16string(wide), u"K\u00f6nig \u03a9");
    char ansi[16];
    EXPECT_EQ(GetDlgItemTextA(dialog, kLog, ansi, sizeof ansi), 7u);
    EXPECT_STREQ(ansi, "K\xf6nig ?");
    EXPECT_EQ(GetWindowTextLengthW(GetDlgItem(dialog, kLog)), 7);
    EndDialog(dialog, 0);
  };
  RunSample(sample);
}

}  // namespace
}  // namespace xp::user32::testing
