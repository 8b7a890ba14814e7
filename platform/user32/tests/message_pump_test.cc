// The message pump of a long handler: the classic PeekMessage/TranslateMessage/DispatchMessage loop between files
// hands over what a script's pump steps do meanwhile (a Cancel click that stops the work, typing, the close box),
// finds nothing when the script has no pump step, and leaves Enter and Esc alone, as a loop without
// IsDialogMessage does. A peeked message left in the queue is carried out by the modal loop afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sample_dialog.h"
#include "xp/ui_script.h"

namespace xp::user32::testing {
namespace {

using MessagePumpTest = DialogTest;

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A sample dialog whose Apply handler "encrypts" five files, pumping after each, and stops when Cancel is
// clicked meanwhile (Cancel only ends the dialog while nothing runs).
struct BusyDialog {
  SampleDialog sample;
  bool busy = false;
  bool cancelled = false;
  int files_done = 0;

  BusyDialog() {
    sample.ends_on_cancel = false;
    sample.on_command = [this](HWND dialog, int id) {
      if (id == IDCANCEL && busy) cancelled = true;
      if (id == IDCANCEL && !busy) EndDialog(dialog, 2);
    };
    sample.on_apply = [this](HWND dialog) {
      busy = true;
      SendDlgItemMessageA(dialog, kProgress, PBM_SETRANGE, 0, MAKELPARAM(0, 5));
      SendDlgItemMessageA(dialog, kProgress, PBM_SETSTEP, 1, 0);
      for (int file = 0; file < 5 && !cancelled; ++file) {
        SendDlgItemMessageA(dialog, kProgress, PBM_STEPIT, 0, 0);
        ++files_done;
        PumpMessages();
      }
      busy = false;
    };
  }
};

TEST_F(MessagePumpTest, ACancelClickedMeanwhileStopsTheWork) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Click(kApply);
  script.Pump(kSampleDialog).Click(IDCANCEL);
  script.Dialog(kSampleDialog).Click(IDOK);
  Play(script);
  BusyDialog busy;
  EXPECT_EQ(RunSample(busy.sample), 1);
  EXPECT_TRUE(busy.cancelled);
  EXPECT_EQ(busy.files_done, 1);
  EXPECT_EQ(UiJournal(15), (std::vector<std::string>{
                               "dialog 200: click 1008",
                               "dialog 200 control 1006 progress \"\" pos=0 range=0..5",
                               "dialog 200 control 1006 progress \"\" pos=1 range=0..5",
                               "pump 200: click IDCANCEL",
                               "dialog 200: click IDOK",
                               "dialog 200 end 1",
                           }));
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

TEST_F(MessagePumpTest, WithoutAPumpStepTheWorkRunsToTheEnd) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Click(kApply).Click(IDOK);
  Play(script);
  BusyDialog busy;
  EXPECT_EQ(RunSample(busy.sample), 1);
  EXPECT_FALSE(busy.cancelled);
  EXPECT_EQ(busy.files_done, 5);
}

TEST_F(MessagePumpTest, WhatTheUserDoesMeanwhile) {
  struct Case {
    const char* name;
    std::function<void(xp::ui::Script::DialogStep&)> pumped;
    std::vector<std::string> messages;
    bool cancelled;
  };
  const std::vector<Case> cases = {
      {"the close box is IDCANCEL", [](auto& step) { step.Close(); },
       {"init", "command 1008 clicked", "close", "command 2 clicked", "command 1 clicked"}, true},
      {"typing reaches the edit", [](auto& step) { step.Type(kPin, "42"); },
       {"init", "command 1008 clicked", "command 1001 change", "command 1 clicked"}, false},
      {"enter and escape do nothing", [](auto& step) { step.Enter().Escape(); },
       {"init", "command 1008 clicked", "command 1 clicked"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    xp::ui::Script script;
    script.Dialog(kSampleDialog).Click(kApply);
    xp::ui::Script::DialogStep pump = script.Pump(kSampleDialog);
    c.pumped(pump);
    script.Dialog(kSampleDialog).Click(IDOK);
    Play(script);
    BusyDialog busy;
    EXPECT_EQ(RunSample(busy.sample), 1);
    EXPECT_EQ(busy.sample.messages, c.messages);
    EXPECT_EQ(busy.cancelled, c.cancelled);
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  }
}

TEST_F(MessagePumpTest, APeekedMessageLeftQueuedIsCarriedOutByTheModalLoop) {
  xp::ui::Script script;
  script.Dialog(kSampleDialog).Click(kApply);
  script.Pump(kSampleDialog).Click(IDCANCEL);
  Play(script);
  SampleDialog sample;
  MSG peeked{};
  sample.on_apply = [&](HWND dialog) {
    ASSERT_TRUE(PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(peeked.hwnd, dialog);
    MSG again{};
    // Still queued: the same message again, and no new question to the driver.
    ASSERT_TRUE(PeekMessageA(&again, dialog, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(again.lParam, peeked.lParam);
    EXPECT_FALSE(PeekMessageA(&again, GetDlgItem(dialog, kPin), 0, 0, PM_REMOVE));  // filtered out
  };
  EXPECT_EQ(RunSample(sample), 2);
  EXPECT_EQ(sample.messages, (std::vector<std::string>{"init", "command 1008 clicked", "command 2 clicked"}));
}

TEST_F(MessagePumpTest, NoDialogNoInput) {
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, 0x0002));  // PM_NOYIELD is not implemented
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  EXPECT_FALSE(TranslateMessage(&msg));
}

}  // namespace
}  // namespace xp::user32::testing
