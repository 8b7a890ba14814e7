// The refusals of the start, each with its exact text and exit code 1, and the reads of the sixteen values: each
// missing value, each missing key and each transport that is neither "1" nor "0" ends the program with its text.
#include <cstdlib>
#include <functional>

#include "settings_fixture.h"

namespace tavik::configpanel::testing {
namespace {

constexpr char kStartCaption[] = "Tavik Configuration";
constexpr char kFailureCaption[] = "Configuration Tool";

class StartTest : public SettingsTest {
 protected:
  // The program shows the box and ends with exit code 1 without opening its dialog.
  void ExpectEnd(const char* caption, const std::string& text) {
    xp::ui::Script script;
    script.ExpectBox(caption, text, MB_OK | MB_ICONERROR).Answer(IDOK);
    EXPECT_EQ(Run(script), 1);
    for (const std::string& line : shown()) EXPECT_EQ(line.find(" open"), std::string::npos) << line;
  }
};

TEST_F(StartTest, EachRefusalOfTheStartEndsTheProgram) {
  const std::string suffix = "\\Quillmarsh\\Tavik";
  const struct {
    const char* situation;
    std::function<void()> arrange;
    const char* message;
  } rows[] = {
      {"another user", [] { ::setenv("XPMACHINE_USER", "User", 1); },
       "Wrong User.\r\nTo run Tavik Configuration, you must log in using the same account as when you install "
       "Quillmarsh Tavik."},
      {"no sysDir", [] { DeleteValue(HKEY_LOCAL_MACHINE, kFlagKey, "sysDir"); }, "Get system user failure."},
      {"a sysDir longer than 260", [] { SetText(HKEY_LOCAL_MACHINE, kFlagKey, "sysDir", std::string(261, 'S')); },
       "Get system user failure."},
      {"no AppData", [] { DeleteValue(HKEY_CURRENT_USER, kShellFolders, "AppData"); },
       "Get current system user failure."},
      // 244 + 17 characters would run one past the 260 a path holds.
      {"an AppData of 244", [] { SetText(HKEY_CURRENT_USER, kShellFolders, "AppData", "C:\\" + std::string(241, 'a')); },
       "Data boundary check failure."},
      {"an AppData of 261", [] { SetText(HKEY_CURRENT_USER, kShellFolders, "AppData", "C:\\" + std::string(258, 'a')); },
       "Get current system user failure."},
      // The longest that fits is compared, and differs.
      {"an AppData of 243", [] { SetText(HKEY_CURRENT_USER, kShellFolders, "AppData", "C:\\" + std::string(240, 'a')); },
       "Wrong User.\r\nTo run Tavik Configuration, you must log in using the same account as when you install "
       "Quillmarsh Tavik."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.situation);
    const Settings before = Stored();
    const std::optional<std::string> app_data = Text(HKEY_CURRENT_USER, kShellFolders, "AppData");
    const std::optional<std::string> sys_dir = Text(HKEY_LOCAL_MACHINE, kFlagKey, "sysDir");
    row.arrange();
    ExpectEnd(kStartCaption, row.message);
    ::unsetenv("XPMACHINE_USER");
    SetText(HKEY_CURRENT_USER, kShellFolders, "AppData", *app_data);
    SetText(HKEY_LOCAL_MACHINE, kFlagKey, "sysDir", *sys_dir);
    EXPECT_EQ(Stored(), before);
  }
}

TEST_F(StartTest, ASecondInstanceIsRefusedWhileTheFirstRuns) {
  HANDLE first = CreateMutexA(nullptr, TRUE, "ConfigToolMutex");
  ASSERT_NE(first, nullptr);
  ExpectEnd(kStartCaption, "There is already an instance running.");
  CloseHandle(first);

  // Letter case of the folders does not matter; once the mutex is gone, the dialog opens.
  SetText(HKEY_LOCAL_MACHINE, kFlagKey, "sysDir",
          "c:\\DOCUMENTS AND SETTINGS\\administrator\\application data\\QUILLMARSH\\tavik");
  xp::ui::Script script;
  script.Dialog(102, "Tavik Configuration").Click(IDCANCEL);
  EXPECT_EQ(Run(script), 0);
  EXPECT_EQ(Stored(), Initial());
}

TEST_F(StartTest, EachUnreadableValueEndsTheProgramWithItsText) {
  const struct {
    const char* key;
    HKEY root;
    const char* host;
    const char* host_text;
    const char* http_text;
    const char* https_text;
    const char* ssl_text;
    const char* invalid_text;
  } servers[] = {
      {kTavikKey, HKEY_CURRENT_USER, "serverName", "Read Tavik server host name failed.",
       "Read Tavik server HTTP port failed.", "Read Tavik server HTTPS port failed.", "Read Tavik server SSL failed.",
       "Invalid configuration data[Tavik Server: transport type]."},
      {kRegistrationKey, HKEY_CURRENT_USER, "ServerName", "Read Registration server host name failed.",
       "Read Registration server HTTP port failed.", "Read Registration server HTTPS port failed.",
       "Read Registration server SSL failed.", "Invalid configuration data[registration server: transport type]."},
      {kRecoveryKey, HKEY_CURRENT_USER, "ServerName", "Read Recovery server host name failed.",
       "Read Recovery server HTTP port failed.", "Read Recovery server HTTPS port failed.",
       "Read Recovery server SSL failed.", "Invalid configuration data[recovery server: transport type]."},
      {kClientKey, HKEY_LOCAL_MACHINE, "ServerPath", "Read client host name failed.", "Read client HTTP port failed.",
       "Read client HTTPS port failed.", "Read Web client server SSL failed.",
       "Invalid configuration data[web client: transport type]."},
  };
  for (const auto& server : servers) {
    SCOPED_TRACE(server.key);
    const std::pair<const char*, const char*> values[] = {{server.host, server.host_text},
                                                          {"httpPort", server.http_text},
                                                          {"httpsPort", server.https_text},
                                                          {"SSL", server.ssl_text}};
    for (const auto& [name, text] : values) {
      SCOPED_TRACE(name);
      const std::optional<std::string> kept = Text(server.root, server.key, name);
      DeleteValue(server.root, server.key, name);
      ExpectEnd(kFailureCaption, text);
      SetText(server.root, server.key, name, *kept);
    }
    // A port the registry holds longer than a port can be does not fit its field.
    const std::optional<std::string> port = Text(server.root, server.key, "httpsPort");
    SetText(server.root, server.key, "httpsPort", "1234567890");
    ExpectEnd(kFailureCaption, server.https_text);
    SetText(server.root, server.key, "httpsPort", *port);

    for (const char* transport : {"2", "", "1 ", "01"}) {
      SCOPED_TRACE(transport);
      SetText(server.root, server.key, "SSL", transport);
      ExpectEnd(kFailureCaption, server.invalid_text);
    }
    SetText(server.root, server.key, "SSL", "0");
    EXPECT_EQ(Stored(), Initial());
  }
}

TEST_F(StartTest, AMissingKeyEndsTheProgramAtItsFirstValue) {
  const struct {
    HKEY root;
    const char* key;
    const char* text;
  } keys[] = {
      {HKEY_CURRENT_USER, kTavikKey, "Read Tavik server host name failed."},
      {HKEY_CURRENT_USER, kRegistrationKey, "Read Registration server host name failed."},
      {HKEY_CURRENT_USER, kRecoveryKey, "Read Recovery server host name failed."},
      {HKEY_LOCAL_MACHINE, kClientKey, "Read client host name failed."},
  };
  for (const auto& key : keys) {
    SCOPED_TRACE(key.key);
    ASSERT_EQ(RegDeleteKeyA(key.root, key.key), ERROR_SUCCESS);
    ExpectEnd(kFailureCaption, key.text);
    StoreInitial();
  }
}

}  // namespace
}  // namespace tavik::configpanel::testing
