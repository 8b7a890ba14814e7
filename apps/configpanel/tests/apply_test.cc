// What Apply and OK write: each server's own host when it changed (letter case aside), and the one transport and
// port shown to every server whose stored value differs; Apply once, then disabled. A refused write ends the
// program with its text and keeps what was written before it.
#include "settings_fixture.h"
#include "xp/registry.h"

namespace tavik::configpanel::testing {
namespace {

constexpr int kDialog = 102;
constexpr int kApply = 1000;
constexpr int kHttps = 1002;
constexpr int kHttp = 1003;
constexpr int kPort = 1004;
constexpr int kTavikHost = 1005;
constexpr int kRecoveryHost = 1006;
constexpr int kRegistrationHost = 1007;
constexpr int kClientHost = 1008;

class ApplyTest : public SettingsTest {
 protected:
  static void Expect(Settings& settings, HKEY root, const char* key, const char* name, const std::string& text) {
    settings[PathOf(root, key, name)] = text;
  }
  // The journal's line for a control after the user's last action.
  std::string LastLine(int control) const {
    const std::string prefix = "dialog 102 control " + std::to_string(control) + " ";
    std::string last;
    for (const std::string& line : shown()) {
      if (line.starts_with(prefix)) last = line.substr(prefix.size());
    }
    return last;
  }
};

TEST_F(ApplyTest, TheDialogShowsTheStoredSettingsAndCancelWritesNothing) {
  xp::ui::Script script;
  script.Dialog(kDialog).Type(kTavikHost, "changed.test").Type(kPort, "1").Click(kHttps).Click(IDCANCEL);
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(Stored(), Initial());
  EXPECT_TRUE(Shown("dialog 102 control 1005 edit \"tavik.example.test\" limit=200"));
  EXPECT_TRUE(Shown("dialog 102 control 1006 edit \"recovery.example.test\" limit=200"));
  EXPECT_TRUE(Shown("dialog 102 control 1007 edit \"registration.example.test\" limit=200"));
  EXPECT_TRUE(Shown("dialog 102 control 1008 edit \"client.example.test/tavik/\" limit=200"));
  // The Tavik Server's transport and its HTTP port; HTTPS then shows its HTTPS port in place of the typed one.
  EXPECT_TRUE(Shown("dialog 102 control 1003 radio \"HTTP\" checked"));
  EXPECT_TRUE(Shown("dialog 102 control 1004 edit \"8080\" limit=9"));
  EXPECT_EQ(LastLine(kPort), "edit \"443\" limit=9");
}

TEST_F(ApplyTest, SwitchingToHttpsWritesTheTransportAndTheShownPortWhereTheyDiffer) {
  xp::ui::Script script;
  script.Dialog(kDialog).Click(kHttps).Click(kApply).Click(IDCANCEL);
  EXPECT_EQ(Run(script), 0);
  Settings expected = Initial();
  for (const char* key : {kTavikKey, kRegistrationKey, kRecoveryKey}) Expect(expected, HKEY_CURRENT_USER, key, "SSL", "1");
  Expect(expected, HKEY_LOCAL_MACHINE, kClientKey, "SSL", "1");
  Expect(expected, HKEY_CURRENT_USER, kRegistrationKey, "httpsPort", "443");
  Expect(expected, HKEY_LOCAL_MACHINE, kClientKey, "httpsPort", "443");
  EXPECT_EQ(Stored(), expected);
  EXPECT_EQ(LastLine(kApply), "button \"&Apply\" disabled");
}

TEST_F(ApplyTest, OkAfterApplyWritesOnlyWhatChangedSince) {
  // A host changed only in letter case is the same host; a port typed past nine characters keeps nine.
  xp::ui::Script script;
  script.Dialog(kDialog)
      .Type(kTavikHost, "TAVIK.Example.Test")
      .Type(kRecoveryHost, "recovery2.example.test")
      .Click(kApply)
      .Type(kClientHost, "other.example.test/t/")
      .Type(kPort, "123456789012")
      .Click(IDOK);
  EXPECT_EQ(Run(script), 0);
  Settings expected = Initial();
  Expect(expected, HKEY_CURRENT_USER, kRecoveryKey, "ServerName", "recovery2.example.test");
  // Apply gave every server the Tavik Server's HTTP port; OK then the typed one.
  for (const char* key : {kTavikKey, kRegistrationKey, kRecoveryKey}) {
    Expect(expected, HKEY_CURRENT_USER, key, "httpPort", "123456789");
  }
  Expect(expected, HKEY_LOCAL_MACHINE, kClientKey, "httpPort", "123456789");
  Expect(expected, HKEY_LOCAL_MACHINE, kClientKey, "ServerPath", "other.example.test/t/");
  EXPECT_EQ(Stored(), expected);

  // The next start reads what was written.
  xp::ui::Script again;
  again.Dialog(kDialog).Click(IDCANCEL);
  EXPECT_EQ(Run(again), 0);
  EXPECT_TRUE(Shown("dialog 102 control 1006 edit \"recovery2.example.test\" limit=200"));
  EXPECT_TRUE(Shown("dialog 102 control 1004 edit \"123456789\" limit=9"));
}

TEST_F(ApplyTest, OneChangedHostIsTheOneWriteWhenTransportAndPortsAgree) {
  for (const char* key : {kTavikKey, kRegistrationKey, kRecoveryKey}) SetText(HKEY_CURRENT_USER, key, "httpPort", "80");
  SetText(HKEY_LOCAL_MACHINE, kClientKey, "httpPort", "80");
  const Settings before = Stored();
  // Switching forth and back leaves the transport as it was.
  xp::ui::Script script;
  script.Dialog(kDialog).Click(kHttps).Click(kHttp).Type(kRecoveryHost, "recovery.other.test").Click(IDOK);
  EXPECT_EQ(Run(script), 0);
  Settings expected = before;
  Expect(expected, HKEY_CURRENT_USER, kRecoveryKey, "ServerName", "recovery.other.test");
  EXPECT_EQ(Stored(), expected);
}

TEST_F(ApplyTest, ARefusedWriteEndsTheProgramAndKeepsTheWritesBeforeIt) {
  // Apply's order is Tavik, Recovery, Registration, client: the Tavik host is written before the Recovery one fails.
  xp::registry::InjectFault(xp::registry::Op::kSetValue, 1, ERROR_ACCESS_DENIED, "recoveryServer");
  xp::ui::Script script;
  script.Dialog(kDialog)
      .Type(kTavikHost, "tavik2.example.test")
      .Type(kRecoveryHost, "recovery2.example.test")
      .Type(kRegistrationHost, "registration2.example.test")
      .Click(kApply);
  script.ExpectBox("Configuration Tool", "Update configuration failed [Recovery Server host name].",
                   MB_OK | MB_ICONERROR)
      .Answer(IDOK);
  EXPECT_EQ(Run(script), 1);
  Settings expected = Initial();
  Expect(expected, HKEY_CURRENT_USER, kTavikKey, "serverName", "tavik2.example.test");
  EXPECT_EQ(Stored(), expected);
  xp::registry::ClearFaults();
}

TEST_F(ApplyTest, EachKindOfWriteNamesItsServerAndValueWhenRefused) {
  const struct {
    const char* situation;
    const char* key_part;
    xp::registry::Op op;
    uint32_t nth;
    int switch_to;
    const char* port;
    const char* text;
  } rows[] = {
      // The client key opens four times for the reads, then for the apply.
      {"the client key does not open", "3.0.0", xp::registry::Op::kOpen, 5, kHttps, nullptr,
       "Update configuration failed [Web client SSL]."},
      {"the Tavik transport", "drelmServer", xp::registry::Op::kSetValue, 1, kHttps, nullptr,
       "Update configuration failed [Tavik Server SSL]."},
      {"the registration HTTPS port", "registrationServer", xp::registry::Op::kSetValue, 2, kHttps, nullptr,
       "Update configuration failed [Registration Server https port]."},
      {"the recovery HTTP port", "recoveryServer", xp::registry::Op::kSetValue, 1, kHttp, "81",
       "Update configuration failed [Recovery Server http port]."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.situation);
    xp::registry::InjectFault(row.op, row.nth, ERROR_ACCESS_DENIED, row.key_part);
    xp::ui::Script script;
    xp::ui::Script::DialogStep step = script.Dialog(kDialog);
    if (row.switch_to == kHttps) step.Click(kHttps);
    if (row.port != nullptr) step.Type(kPort, row.port);
    step.Click(IDOK);
    script.ExpectBox("Configuration Tool", row.text, MB_OK | MB_ICONERROR).Answer(IDOK);
    EXPECT_EQ(Run(script), 1);
    xp::registry::ClearFaults();
    StoreInitial();
  }
}

// The system menu's About item shows the tool's name and version; typed edits stay unapplied, so Cancel still
// writes nothing. The dialog shows the program's icon, big and small.
TEST_F(ApplyTest, TheAboutItemShowsTheToolsNameAndChangesNothing) {
  xp::ui::Script script;
  script.Dialog(kDialog).Type(kTavikHost, "changed.test").SystemMenu(16);
  script.Dialog(100, "About Tavik Configuration Tool").Click(IDOK);
  script.Dialog(kDialog).Click(IDCANCEL);
  EXPECT_EQ(Run(script), 0);
  for (const char* line : {"dialog 102 icon big 128", "dialog 102 icon small 128",
                           "dialog 100 control 1035 static \"Tavik Configuration Tool 1.0\"", "dialog 100 end 1"}) {
    EXPECT_TRUE(Shown(line)) << line;
  }
  EXPECT_EQ(Stored(), Initial());
}

}  // namespace
}  // namespace tavik::configpanel::testing
