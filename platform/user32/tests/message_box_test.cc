// MessageBoxA as the system calls it: each style it shows, the answer the script gives, the journal line, a NULL
// caption, the styles nobody uses failing with ERROR_CALL_NOT_IMPLEMENTED, and an answer that is not a button.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scratch_machine.h"
#include "ui_journal.h"
#include "windows.h"
#include "winuser.h"
#include "xp/ui.h"
#include "xp/ui_script.h"

namespace {

// A machine without a token or registry, where nobody answers until a script is played.
class MessageBoxTest : public ::testing::Test {
 protected:
  // The journal's lines without their clock and process stamps.
  std::vector<std::string> Journal() const { return xp::test::Journal(machine_.root()); }

  const xp::test::ScratchMachine machine_{
      xp::test::ScratchOptions{.token_seed = std::nullopt, .fresh_registry = false, .no_ui = true}};
};

TEST_F(MessageBoxTest, ReturnsTheButtonTheUserPressed) {
  const struct {
    const char* caption;
    const char* text;
    UINT type;
    int answer;
    const char* journal;
  } cases[] = {
      {"Quillmarsh Tavik", "There is already an instance running.", MB_OK | MB_ICONERROR, IDOK,
       R"(ui box "Quillmarsh Tavik" "There is already an instance running." MB_OK|MB_ICONERROR -> OK)"},
      {"Quillmarsh Tavik", "Incorrect type or size of buffer for stream fp", MB_OK, IDOK,
       R"(ui box "Quillmarsh Tavik" "Incorrect type or size of buffer for stream fp" MB_OK -> OK)"},
      {"Quillmarsh Tavik", "Load Kernel32.DLL error", MB_OK | MB_ICONEXCLAMATION, IDOK,
       R"(ui box "Quillmarsh Tavik" "Load Kernel32.DLL error" MB_OK|MB_ICONEXCLAMATION -> OK)"},
      {"Quillmarsh Tavik", "Read registry value failed!\r\nAssume Tavik installed.", MB_ICONWARNING, IDOK,
       R"(ui box "Quillmarsh Tavik" "Read registry value failed!\r\nAssume Tavik installed." )"
       R"(MB_OK|MB_ICONEXCLAMATION -> OK)"},
      {"Selvanor", "Password changed.", MB_ICONINFORMATION, IDOK,
       R"(ui box "Selvanor" "Password changed." MB_OK|MB_ICONINFORMATION -> OK)"},
      {"Quillmarsh Tavik", "Continue?", MB_YESNO | MB_ICONQUESTION, IDYES,
       R"(ui box "Quillmarsh Tavik" "Continue?" MB_YESNO|MB_ICONQUESTION -> Yes)"},
      {"Quillmarsh Tavik", "Continue?", MB_YESNO | MB_ICONQUESTION, IDNO,
       R"(ui box "Quillmarsh Tavik" "Continue?" MB_YESNO|MB_ICONQUESTION -> No)"},
      {"Quillmarsh Tavik Uninstallation", "Are you sure?", MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, IDNO,
       R"(ui box "Quillmarsh Tavik Uninstallation" "Are you sure?" MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 -> No)"},
      {"Quillmarsh Tavik", "Multiple operating systems?", MB_YESNO, IDYES,
       R"(ui box "Quillmarsh Tavik" "Multiple operating systems?" MB_YESNO -> Yes)"},
      {nullptr, "Failed.", MB_OK, IDOK, R"(ui box "Error" "Failed." MB_OK -> OK)"},
      {"test", nullptr, MB_OK, IDOK, R"(ui box "test" "" MB_OK -> OK)"},
  };
  xp::ui::Script script;
  for (const auto& c : cases) {
    script.ExpectBox(c.caption != nullptr ? c.caption : "Error", c.text != nullptr ? c.text : "", c.type)
        .Answer(c.answer);
  }
  machine_.Play(script);
  size_t line = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.journal);
    EXPECT_EQ(MessageBoxA(nullptr, c.text, c.caption, c.type), c.answer);
    ASSERT_EQ(Journal().size(), line + 1);
    EXPECT_EQ(Journal()[line++], c.journal);
  }
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

TEST_F(MessageBoxTest, StylesNoCallerUsesFailWithoutAskingAnybody) {
  xp::ui::Script script;
  script.ExpectBox(xp::ui::Pattern::Any(), xp::ui::Pattern::Any()).Answer(IDOK);
  machine_.Play(script);
  // MB_OKCANCEL, MB_ABORTRETRYIGNORE, MB_YESNOCANCEL, MB_RETRYCANCEL, icon 0x50, MB_DEFBUTTON3, MB_SYSTEMMODAL,
  // MB_TASKMODAL, MB_SETFOREGROUND, MB_TOPMOST.
  for (const UINT type : {0x1u, 0x2u, 0x3u, 0x5u, 0x50u, 0x200u, 0x1000u, 0x2000u, 0x10000u, 0x40000u,
                          MB_YESNO | MB_ICONQUESTION | 0x1000u}) {
    SCOPED_TRACE(type);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "Quillmarsh Tavik", type), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_TRUE(Journal().at(Journal().size() - 2).ends_with(" -> none"));
  }
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 1u);
}

TEST_F(MessageBoxTest, AnAnswerThatIsNotAButtonFailsTheRun) {
  xp::ui::Script script;
  script.ExpectBox("Quillmarsh Tavik", "Scan disk failure (error code: 001)").Answer(IDYES);
  machine_.Play(script);
  EXPECT_EXIT(MessageBoxA(nullptr, "Scan disk failure (error code: 001)", "Quillmarsh Tavik", MB_OK | MB_ICONERROR),
              ::testing::ExitedWithCode(xp::ui::kUiFailureExitCode), "the answer Yes is not a button of box");
}

}  // namespace
