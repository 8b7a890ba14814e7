// The dialogs the user32 tests show: a sample with a control of each kind the system's dialogs use (a limited
// password edit, a digits-only edit, a check box, a radio group, a combo box, a progress bar, disabled and hidden
// controls, OK/Cancel), a one-button message dialog, and a dialog procedure that records what it is sent.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "commctrl.h"
#include "scratch_machine.h"
#include "ui_journal.h"
#include "windows.h"
#include "xp/ui_script.h"

namespace xp::user32::testing {

inline constexpr int kSampleDialog = 200;
inline constexpr int kMessageDialog = 201;

enum SampleControl {
  kPassword = 1000,  // ES_PASSWORD, limited to 8 at WM_INITDIALOG
  kPin = 1001,       // ES_NUMBER
  kRemember = 1002,  // automatic check box
  kToken = 1003,     // radio group of two, Token checked at WM_INITDIALOG
  kKeyAnswer = 1004,
  kAccounts = 1005,  // drop-down list: "Administrator", "User"
  kProgress = 1006,
  kHelp = 1007,   // disabled by its template
  kApply = 1008,  // runs SampleDialog::on_apply
  kNote = 1009,   // hidden by its template
  kLabel = 1010,
  kLog = 1012,  // read-only multi-line edit
  kMessageText = 1101,
};

// How the sample dialog behaves, and what its procedure saw: "init", "close", "command <id> <code>" with the codes
// clicked, change, maxtext, selchange, "devicechange <wParam>".
struct SampleDialog {
  bool handle_close = false;  // WM_CLOSE is handled (and ignored) instead of left to the dialog manager
  std::function<void(HWND)> on_init;
  std::function<void(HWND)> on_apply;
  std::function<void(HWND, int)> on_command;  // before the default IDOK (end 1) and IDCANCEL (end 2)
  bool ends_on_ok = true;
  bool ends_on_cancel = true;
  std::vector<std::string> messages;
};

// DialogBoxParamA of the sample (or `dialog`) with the recording procedure.
INT_PTR RunSample(SampleDialog& sample, int dialog = kSampleDialog);
// The message dialog: `text` in its static, ended by OK with 1.
INT_PTR ShowMessageDialog(HWND owner, const char* text);

// The text of a control, read with GetDlgItemTextA.
std::string DlgItemText(HWND dialog, int id);

// A fresh machine for each test (no token, an empty registry, the virtual clock, nobody at the keys until a script
// is played), its UI journal, and scripts for the UI driver.
class DialogTest : public ::testing::Test {
 protected:
  void Play(const xp::ui::Script& script) const { machine_.Play(script); }
  // The journal's "ui" lines without the stamp and the "ui " prefix, from `first` on.
  std::vector<std::string> UiJournal(size_t first = 0) const { return xp::test::UiJournal(root_, first); }

  const xp::test::ScratchMachine machine_{
      xp::test::ScratchOptions{.token_seed = std::nullopt, .fresh_registry = false, .no_ui = true}};
  const std::filesystem::path root_ = machine_.root();
};

}  // namespace xp::user32::testing
