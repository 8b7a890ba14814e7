// The script builder writes the text the parser reads: exact texts escaped (a '*' in them is a star), wildcards
// only where asked for, and Install makes the script drive this process.
#include <gtest/gtest.h>

#include "ui_fixture.h"
#include "winuser.h"
#include "xp/ui.h"
#include "xp/ui_script.h"

namespace xp::ui::testing {
namespace {

using ScriptBuilderTest = UiTest;

TEST_F(ScriptBuilderTest, WritesOneLinePerStep) {
  Script script;
  script.Comment("install, then restart");
  script.ExpectBox("Quillmarsh Tavik", "Installation completed.").Answer(IDOK);
  script.ExpectBox(Pattern::Any(), Pattern::Wildcard("Please insert*"), MB_YESNO | MB_ICONQUESTION).Answer(IDYES);
  script.ExpectBox("Failed to create folder:", "C:\\Program Files\\*\r\n\t\"x\"").Answer(IDOK);
  script.Dialog(134).Type(1000, "secret12").Type(1001, "secret12").Click(IDOK);
  script.Dialog(101, Pattern::Wildcard("Login*")).Click(IDOK);
  script.Dialog("frmBurnPwd").Type("txtpwd1", "a*b").Enter("txtpwd1").Check(1005).Uncheck(1005);
  script.Dialog(136).Select(1003, "User").Focus(1000).Enter().Escape();
  script.Pump(102).Close();
  script.CtrlAltDel(Pattern::Wildcard("Welcome*"));
  script.Dialog(300).CtrlAltDel();
  EXPECT_EQ(script.Text(),
            "# install, then restart\n"
            "box \"Quillmarsh Tavik\" \"Installation completed.\" -> OK\n"
            "box * \"Please insert*\" MB_YESNO|MB_ICONQUESTION -> Yes\n"
            "box \"Failed to create folder:\" \"C:\\\\Program Files\\\\\\*\\r\\n\\t\\\"x\\\"\" -> OK\n"
            "dialog 134: type 1000 \"secret12\"; type 1001 \"secret12\"; click IDOK\n"
            "dialog 101 \"Login*\": click IDOK\n"
            "dialog frmBurnPwd: type txtpwd1 \"a*b\"; enter txtpwd1; check 1005; uncheck 1005\n"
            "dialog 136: select 1003 \"User\"; focus 1000; enter; escape\n"
            "pump 102: close\n"
            "ctrl-alt-del \"Welcome*\"\n"
            "dialog 300: ctrl-alt-del\n");
}

TEST_F(ScriptBuilderTest, AnInstalledScriptDrivesThisProcess) {
  Script script;
  script.ExpectBox("Failed to create folder:", "C:\\Program Files\\*").Answer(IDOK);
  script.ExpectBox("Quillmarsh Tavik", Pattern::Wildcard("Verify password failed. You have * more attempt(s)."))
      .Answer(IDOK);
  const std::filesystem::path file = script.Install(root_);
  EXPECT_EQ(file, root_ / "ui.script");
  EXPECT_STREQ(::getenv("XPMACHINE_UI"), ("script:" + file.string()).c_str());
  EXPECT_EQ(ScriptStepsLeft(), 2u);
  EXPECT_EQ(ShowBox({"Failed to create folder:", "C:\\Program Files\\*", MB_ICONERROR}), IDOK);
  EXPECT_EQ(ShowBox({"Quillmarsh Tavik", "Verify password failed. You have 2 more attempt(s).", MB_ICONWARNING}), IDOK);
  EXPECT_EQ(ScriptStepsLeft(), 0u);

  // The exact text's star is a star, not a wildcard.
  script.Install(root_);
  EXPECT_EXIT(ShowBox({"Failed to create folder:", "C:\\Program Files\\Quillmarsh", MB_ICONERROR}),
              ::testing::ExitedWithCode(kUiFailureExitCode), "expected box");
}

}  // namespace
}  // namespace xp::ui::testing
