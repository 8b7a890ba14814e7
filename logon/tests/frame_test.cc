// The component's frame: version negotiation and the binding of the system's own GINA (an older one without
// WlxStartApplication still serves; one without WlxShutdown does not), whether the disk encryption counts as
// installed, and the debug log's levels and file.
#include <fstream>
#include <functional>
#include <sstream>

#include "logon_fixture.h"
#include "built_programs.h"
#include "xp/registry.h"

namespace tavik::logongate::testing {
namespace {

using xp::winlogon::Outcome;
using Negotiate = BOOL (*)(DWORD, PDWORD);

using FrameTest = LogonTest;

// The component as Winlogon loads it, from the machine's system folder.
Negotiate LoadComponent() {
  const HMODULE module = LoadLibraryA("C:\\WINDOWS\\system32\\logongate.dll");
  EXPECT_NE(module, nullptr);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Negotiate>(reinterpret_cast<void*>(GetProcAddress(module, "WlxNegotiate")));
}

void PlaceOnMachine(const FrameTest& test, const std::string& target_name, const std::string& windows_path) {
  std::ifstream in(xp::test::BuildProgram(target_name), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  test.PutOnDisk(windows_path, bytes.str());
}

TEST_F(FrameTest, NegotiationAnswersOnePointThreeWithTheSystemsGinaBound) {
  const struct {
    const char* what;
    DWORD winlogon;
    const char* msgina;  // the machine's own msgina.dll: nullptr the system's, "" a file that is no library
    BOOL negotiated;
  } rows[] = {
      {"Winlogon 1.2", 0x00010002, nullptr, FALSE},
      {"Winlogon 1.3", 0x00010003, nullptr, TRUE},
      {"Winlogon 1.4", 0x00010004, nullptr, TRUE},
      {"a GINA without WlxStartApplication", 0x00010003, "xp_msgina_no_start_application", TRUE},
      {"a GINA without WlxShutdown", 0x00010003, "xp_msgina_no_shutdown", FALSE},
      {"no GINA that loads", 0x00010003, "", FALSE},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TearDown();
    SetUp();
    if (row.msgina != nullptr && *row.msgina != '\0') {
      PlaceOnMachine(*this, row.msgina, "C:\\WINDOWS\\system32\\msgina.dll");
    } else if (row.msgina != nullptr) {
      PutOnDisk("C:\\WINDOWS\\system32\\msgina.dll", "not a library");
    }
    const Negotiate negotiate = LoadComponent();
    ASSERT_NE(negotiate, nullptr);
    DWORD answered = 0;
    EXPECT_EQ(negotiate(row.winlogon, &answered), row.negotiated);
    EXPECT_EQ(answered, row.negotiated ? 0x00010003u : 0u);
  }
}

TEST_F(FrameTest, TheDebugLogKeepsTheLevelsWinIniNamesAndNeverFailsItsCaller) {
  const struct {
    const char* flags;  // nullptr: no entry
    bool errors, traces;
  } rows[] = {
      {nullptr, true, false}, {"trace", false, true}, {"Error, TRACE\tWarning", true, true}, {"Warn", false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.flags != nullptr ? row.flags : "(none)");
    TearDown();
    SetUp();
    std::string ini = "[logongate]\r\nLogFile=Q:\\nowhere\\logongate.log\r\n";
    if (row.flags != nullptr) ini += std::string("DebugFlags=") + row.flags + "\r\n";
    PutOnDisk("C:\\WINDOWS\\win.ini", ini);
    const Negotiate negotiate = LoadComponent();
    ASSERT_NE(negotiate, nullptr);
    DWORD answered = 0;
    EXPECT_FALSE(negotiate(0x00010002, &answered));
    EXPECT_TRUE(negotiate(0x00010003, &answered));
    const std::vector<std::string> journal = Journal();
    EXPECT_EQ(CountMatching(journal, "debug *.*> logongate-Error: Unknown version: 65538\\n"), row.errors ? 1u : 0u);
    EXPECT_EQ(CountMatching(journal, "debug *.*> logongate-Trace: Negotiate:  successful!\\n"), row.traces ? 1u : 0u);
    if (row.errors || row.traces) {
      EXPECT_GE(CountMatching(journal, "debug logongate: Could not open logfile for append"), 1u);
    }
  }
}

TEST_F(FrameTest, TheFlagKeyDecidesWhetherTheDiskEncryptionIsThere) {
  const struct {
    const char* what;
    std::function<void(FrameTest&)> prepare;
    bool warned;
    const char* key_answer_radio;  // its state in the logon dialog: enabled only when installed
  } rows[] = {
      {"the key is there", [](FrameTest&) {}, false, "\"Log On with Key Answer\""},
      {"no key",
       [](FrameTest&) {
         xp::registry::KeyId software = 0;
         xp::registry::OpenPath(u"\\Registry\\Machine\\SOFTWARE\\Quillmarsh\\morvelFlag", &software);
         xp::registry::DeleteKey(software, u"");
       },
       false, "\"Log On with Key Answer\" disabled"},
      {"a key that cannot be read",
       [](FrameTest&) { xp::registry::InjectFault(xp::registry::Op::kOpen, 1, ERROR_ACCESS_DENIED, "morvelFlag"); },
       true, "\"Log On with Key Answer\""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TearDown();
    SetUp();
    row.prepare(*this);
    xp::ui::Script script;
    if (row.warned) {
      script.ExpectBox(kCaption, "Read registry value failed!\r\nAssume Tavik installed.", MB_OK | MB_ICONWARNING)
          .Answer(IDOK);
    }
    ShutDownFromLogon(script);
    ASSERT_EQ(RunWinlogon(script), Outcome::kShutDown);
    xp::registry::ClearFaults();
    EXPECT_TRUE(InOrder(Ui(), {std::string("dialog 300 control 1048 radio ") + row.key_answer_radio}));
  }
}

}  // namespace
}  // namespace tavik::logongate::testing
