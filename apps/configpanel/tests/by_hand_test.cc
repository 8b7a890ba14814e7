// A person's session at the machine's console: xpmachine runs configpanel with the person's script (edit, Apply,
// edit, OK), then its registry query shows what the tool wrote.
#include "built_programs.h"
#include "run_program.h"
#include "settings_fixture.h"

namespace tavik::configpanel::testing {
namespace {

class ByHandTest : public SettingsTest {
 protected:
  // `xpmachine <command...> DIR <arguments...>`.
  xp::test::ProgramRun Xpmachine(std::vector<std::string> command, const std::vector<std::string>& arguments) {
    command.push_back(root().string());
    command.insert(command.end(), arguments.begin(), arguments.end());
    return xp::test::RunProgram(xp::test::BuildProgram("xpmachine"), command, xp::test::Stderr::kApart);
  }
};

TEST_F(ByHandTest, TheEditsOfASessionAreInTheRegistryAfterward) {
  xp::ui::Script script;
  script.Dialog(102, "Tavik Configuration")
      .Click(1002)
      .Type(1006, "recovery.elsewhere.test")
      .Click(1000)
      .Type(1004, "4430")
      .Type(1008, "client.elsewhere.test/tavik/")
      .Click(IDOK);
  script.Install(root());
  const xp::test::ProgramRun run = Xpmachine({"run"}, {xp::test::BuildProgram("configpanel")});
  EXPECT_EQ(run.exit_code, 0) << run.error;
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);

  const xp::test::ProgramRun recovery =
      Xpmachine({"reg", "query"}, {"HKCU\\SOFTWARE\\Teradolm\\Drelm\\recoveryServer"});
  EXPECT_EQ(recovery.output,
            "\nHKEY_CURRENT_USER\\SOFTWARE\\Teradolm\\Drelm\\recoveryServer\n"
            "    ServerName    REG_SZ    recovery.elsewhere.test\n"
            "    httpPort    REG_SZ    8080\n"
            "    httpsPort    REG_SZ    4430\n"
            "    SSL    REG_SZ    1\n\n");
  const xp::test::ProgramRun client = Xpmachine({"reg", "query"}, {"HKLM\\SOFTWARE\\Teradolm\\Ferrowind\\3.0.0"});
  EXPECT_EQ(client.output,
            "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Teradolm\\Ferrowind\\3.0.0\n"
            "    ServerPath    REG_SZ    client.elsewhere.test/tavik/\n"
            "    httpPort    REG_SZ    80\n"
            "    httpsPort    REG_SZ    4430\n"
            "    SSL    REG_SZ    1\n\n");
}

}  // namespace
}  // namespace tavik::configpanel::testing
