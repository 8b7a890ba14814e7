// What comes before the logon dialog, and the shutdown dialog: a legal notice when one is configured (the policy's
// first, then Winlogon's; an empty caption or text is none), else the welcome notice; and the shutdown choices
// with the one preselected from the user's last, power-off only where it is offered.
#include <algorithm>
#include <functional>

#include "logon_fixture.h"
#include "xp/registry.h"

namespace tavik::logongate::testing {
namespace {

using xp::winlogon::Outcome;

using NoticesTest = LogonTest;

constexpr char kPolicies[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr char kWinlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

TEST_F(NoticesTest, ALegalNoticeTakesThePlaceOfTheWelcome) {
  const struct {
    const char* what;
    std::function<void(NoticesTest&)> configure;
    const char* notice_title;  // nullptr: the welcome notice comes instead
    const char* warning;       // a box before, or nullptr
  } rows[] = {
      {"none configured (the fresh machine's empty values)", [](NoticesTest&) {}, nullptr, nullptr},
      {"the policy's",
       [](NoticesTest& t) {
         t.SetMachineString(kPolicies, "legalnoticecaption", "Notice");
         t.SetMachineString(kPolicies, "legalnoticetext", "Authorized use only");
       },
       "Notice", nullptr},
      {"a caption without a text",
       [](NoticesTest& t) { t.SetMachineString(kPolicies, "legalnoticecaption", "Notice"); }, nullptr, nullptr},
      {"Winlogon's",
       [](NoticesTest& t) {
         t.SetMachineString(kWinlogon, "LegalNoticeCaption", "Company");
         t.SetMachineString(kWinlogon, "LegalNoticeText", "Authorized use only");
       },
       "Company", nullptr},
      {"a policy value that is missing",
       [](NoticesTest&) {
         xp::registry::KeyId key = 0;
         xp::registry::OpenPath(u"\\Registry\\Machine\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                                &key);
         xp::registry::DeleteValue(key, u"legalnoticecaption");
       },
       nullptr, "Detect legal notice failed."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TearDown();
    SetUp();
    row.configure(*this);
    xp::ui::Script script;
    if (row.warning != nullptr) script.ExpectBox("Legal Notice", row.warning, MB_OK | MB_ICONWARNING).Answer(IDOK);
    if (row.notice_title != nullptr) {
      script.Dialog(kLegalNotice, row.notice_title).Click(IDOK);
    } else {
      Welcome(script);
    }
    script.Dialog(kLogon).Click(kShutdownButton);
    script.Dialog(kShutdown).Check(kShutdownChoice).Click(IDOK);
    ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
    if (row.notice_title != nullptr) {
      EXPECT_TRUE(InOrder(Ui(), {"dialog 113 control 1054 edit \"Authorized use only\"*", "dialog 113 end 1",
                                 "dialog 300 * open"}));
      EXPECT_EQ(CountMatching(Ui(), "dialog 100 * open"), 0u);
    }
  }
}

TEST_F(NoticesTest, TheShutdownDialogPreselectsTheUsersLastChoice) {
  const struct {
    DWORD setting;
    bool power_down;
    bool user;
    const char* hidden;   // the choices not shown
    int preselected;
  } rows[] = {
      {0, false, true, "508", kLogOffChoice},       {0, false, false, "502 508", kRebootChoice},
      {2, true, true, "", kRebootChoice},           {3, true, true, "", kPowerOffChoice},
      {3, false, true, "508", kShutdownChoice},     {7, false, true, "508", kShutdownChoice},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "setting " << row.setting << ", power-down " << row.power_down
                                      << (row.user ? ", a user" : ", nobody") << " logged on");
    TearDown();
    SetUp();
    SetMachineString(kWinlogon, "PowerDownAfterShutdown", row.power_down ? "1" : "0");
    xp::registry::KeyId made = 0;
    ASSERT_EQ(xp::registry::OpenUserHive(row.user ? u"alice" : u"SYSTEM", &made), ERROR_SUCCESS);
    HKEY hive = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_USERS,
                              (std::string(row.user ? kUser : "SYSTEM") +
                               "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Shutdown")
                                  .c_str(),
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hive, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(hive, "Shutdown Setting", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&row.setting), 4);
    RegCloseKey(hive);
    xp::ui::Script script;
    if (row.user) {
      FirstLogOn(script);
      AtDesktop(script);
      script.Dialog(kOptions).Click(kShutDownButton);
    } else {
      Welcome(script);
      script.Dialog(kLogon).Click(kShutdownButton);
    }
    script.Dialog(kShutdown).Click(IDOK);
    if (row.preselected == kLogOffChoice) ShutDownFromLogon(script);
    const Outcome outcome = RunWinlogon(script);
    std::vector<std::string> ui = Ui();  // up to the end of the first shutdown dialog
    ui.erase(std::find_if(ui.begin(), ui.end(),
                          [](const std::string& line) { return line.rfind("dialog 500 end", 0) == 0; }),
             ui.end());
    for (const int choice : {kLogOffChoice, kShutdownChoice, kRebootChoice, kPowerOffChoice}) {
      const std::string id = std::to_string(choice);
      const bool hidden = std::string(row.hidden).find(id) != std::string::npos;
      const std::string state = std::string(hidden ? " hidden" : "") + (choice == row.preselected ? " checked" : "");
      EXPECT_EQ(CountMatching(ui, "dialog 500 control " + id + " radio \"*\"" + state), 1u) << id;
    }
    // OK takes the preselected choice: a reboot restarts; a log-off, a shutdown or a power-off shut down.
    EXPECT_EQ(outcome, row.preselected == kRebootChoice ? Outcome::kRestart : Outcome::kShutDown);
    EXPECT_EQ(CountMatching(Journal(), "winlogon logoff alice"), row.user ? 1u : 0u);
  }
}

}  // namespace
}  // namespace tavik::logongate::testing
