// The engine run as the uninstall runs it: the stand-in main dialog on a scratch machine, in Key Answer mode, from
// each install state a resumed run may find; and a whole run over an encrypted file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "conversion.h"
#include "disk_state.h"
#include "run_program.h"
#include "scratch_machine.h"
#include "setupcore.h"
#include "ui_journal.h"
#include "windows.h"
#include "xp/ui_script.h"

namespace tavik::diskunseal {
namespace {

constexpr char kCfk[] = "00112233445566778899aabbccddeeff";
constexpr char kProductKey[] = "SOFTWARE\\Quillmarsh\\Tavik";
constexpr char kNoUninstall[] = "Launch process failed.\r\nPlease run Installshield from CD to complete uninstall.";
constexpr char kAllDecrypted[] =
    "Tavik has successfully decrypted the data on your hard drive(s).\r\n\r\nPlease click [OK] to uninstall "
    "Quillmarsh Tavik software\r\nfrom your computer.";

void SetFlag(const char* name, const std::string& text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kFlagKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

bool KeyExists(const char* subkey) { return regKeyExists(subkey, HKEY_LOCAL_MACHINE) == 0; }

void Write(const std::string& path, const std::string& bytes) {
  std::FILE* stream = std::fopen(path.c_str(), "wb");
  ASSERT_NE(stream, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fclose(stream);
}

std::optional<std::string> Read(const std::string& path) {
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, stream)) > 0;) bytes.append(chunk, got);
  std::fclose(stream);
  return bytes;
}

class EngineRunTest : public ::testing::Test {
 protected:
  EngineRunTest() : machine_(xp::test::ScratchOptions{.no_ui = true}) {
    PrepareInstall();
    setenv("UNSEAL_KEY_ANSWER", kCfk, 1);
  }
  ~EngineRunTest() override { unsetenv("UNSEAL_KEY_ANSWER"); }

  // What the install left for the uninstall: the install folder, its lists, the driver's settings.
  static void PrepareInstall() {
    for (const char* folder : {"C:\\Program Files", "C:\\Program Files\\Quillmarsh", "C:\\Program Files\\Quillmarsh\\Tavik",
                               conversion::kInstallFolder}) {
      CreateDirectoryA(folder, nullptr);
    }
    EXPECT_TRUE(_construct_morvel_sys_files(true));
    Write(conversion::InstallFile("_MRVBADFTYPES"), ".lnk\n.sys\n");
    Write(conversion::InstallFile("MRVEFLST"), "");
    // The outside installer's folder the install never encrypts.
    Write(conversion::InstallFile("_MRVMYNEFL"), "C:\\Program Files\\Quillmarsh\n");
    SetFlag("ISLink", "C:\\Program Files\\Quillmarsh\\missing-uninstall.exe");
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik\\driver", 0, nullptr, REG_OPTION_NON_VOLATILE,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegCloseKey(key);
  }

  // Runs the stand-in dialog until the engine ends the process; its exit code, which is 1 after the hand-over as
  // after every refusal of the uninstaller.
  int RunEngine(xp::ui::Script& script) {
    machine_.Play(script);
    const xp::test::ProgramRun run = xp::test::RunProgram(xp::test::BuildProgram("diskunseal_engine_actor"), {});
    if (run.exit_code != 1) {
      std::string shown;
      for (const std::string& line : xp::test::UiJournal(machine_.root())) shown += line + "\n";
      ADD_FAILURE() << run.output << shown << Read(conversion::InstallFile("MRVLOG")).value_or("(no MRVLOG)");
    }
    return run.exit_code;
  }
  static xp::ui::Script StartAndWarn() {
    xp::ui::Script script;
    script.Dialog(102).Click(IDOK);
    script.ExpectBox("Quillmarsh Tavik Uninstallation", xp::ui::Pattern::Wildcard("Important: During decryption*")).Answer(IDOK);
    return script;
  }

  xp::test::ScratchMachine machine_;
};

TEST_F(EngineRunTest, AResumedRunSkipsEveryPhaseItsStateShowsDone) {
  struct Case {
    const char* what;
    std::optional<unsigned short> state;  // nullopt: MRVSTATE holds no number
    bool product_key;                     // HKLM "SOFTWARE\Quillmarsh\Tavik" at the start
    bool product_key_after;
    const char* flag_after;
  };
  const Case cases[] = {
      {"1200: the registry, the token (not with a Key Answer) and the disk", 1200, true, false, "1"},
      {"1300: the disk only", 1300, true, true, "1"},
      {"1400: the disk only", 1400, true, true, "1"},
      {"1500: only the hand-over", 1500, true, true, "3"},
      {"unreadable once the product key is gone: after the rounds", std::nullopt, false, false, "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetFlag("Decrypted", "3");
    if (c.product_key) {
      HKEY key = nullptr;
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr);
      RegCloseKey(key);
    } else {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\Tavik\\driver");
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProductKey);
    }
    if (c.state) {
      ASSERT_TRUE(write_hd_install_state(*c.state));
    } else {
      Write(conversion::InstallFile("MRVSTATE"), "garbage");
      ASSERT_EQ(read_hd_install_state(), install_state::kUnreadable);
    }
    xp::ui::Script script = StartAndWarn();
    script.ExpectBox(conversion::kCaption, kAllDecrypted).Answer(IDOK);
    script.ExpectBox(conversion::kCaption, kNoUninstall).Answer(IDOK);
    EXPECT_EQ(RunEngine(script), 1);
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    EXPECT_EQ(read_hd_install_state(), install_state::kDiskCleaned);
    EXPECT_EQ(conversion::ReadDecryptedFlag(), c.flag_after);
    EXPECT_EQ(KeyExists(kProductKey), c.product_key_after);
  }
}

TEST_F(EngineRunTest, AWholeRunDecryptsTheFileOnceRecordsItAndDeletesBothLists) {
  CreateDirectoryA("C:\\data", nullptr);
  const std::string plain(70000, 'p');
  Write("C:\\data\\report.doc", plain + "tail");
  unsigned char cfk[16];
  for (int i = 0; i < 16; ++i) cfk[i] = static_cast<unsigned char>(i * 0x11);
  unsigned char xcfk[33] = {};
  expand_cfk(cfk, xcfk);
  ASSERT_EQ(conversion::ConvertFileInPlace(conversion::kEncryption, xcfk, "C:\\data\\report.doc", nullptr, nullptr),
            conversion::kConverted);
  ASSERT_NE(Read("C:\\data\\report.doc"), plain + "tail");
  Write(conversion::InstallFile("MorvelSpecials1.txt"), "");
  Write(conversion::InstallFile("MorvelSpecials2.txt"), "");
  SetFlag("Decrypted", "0");
  ASSERT_TRUE(write_hd_install_state(install_state::kInstallDone));

  xp::ui::Script script;
  script.Dialog(102).Click(IDOK);
  script.ExpectBox(conversion::kCaption, xp::ui::Pattern::Wildcard("It is recommended that you empty the Windows temporary folder*"))
      .Answer(IDNO);
  script.Dialog(137, conversion::kCaption).Click(IDOK);
  script.ExpectBox("Quillmarsh Tavik Uninstallation", xp::ui::Pattern::Wildcard("Important: During decryption*")).Answer(IDOK);
  script.ExpectBox(conversion::kCaption, kAllDecrypted).Answer(IDOK);
  script.ExpectBox(conversion::kCaption, kNoUninstall).Answer(IDOK);
  EXPECT_EQ(RunEngine(script), 1);
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);

  EXPECT_EQ(Read("C:\\data\\report.doc"), plain + "tail");
  const std::optional<std::string> history = Read(conversion::InstallFile("MRVDECHS"));
  ASSERT_TRUE(history.has_value());
  EXPECT_NE(history->find("C:\\data\\report.doc\r\n"), std::string::npos);
  EXPECT_FALSE(Read(conversion::InstallFile("MorvelSpecials1.txt")).has_value());
  EXPECT_FALSE(Read(conversion::InstallFile("MorvelSpecials2.txt")).has_value());
  EXPECT_FALSE(Read(conversion::InstallFile("MorvelReport.txt")).has_value());
  EXPECT_EQ(conversion::ReadDecryptedFlag(), "1");
  EXPECT_EQ(read_hd_install_state(), install_state::kDiskCleaned);
  EXPECT_FALSE(KeyExists(kProductKey));
}

// A run resumed in round 2 after a crash: the leftover of the file in flight is put back and decrypted, round 1's
// list on the disk makes the report, whose dialog shows 400 lines of the log from its first section on and whose
// recovery reports a list it could not read to its end.
TEST_F(EngineRunTest, AResumedSecondRoundRestoresTheLeftoverAndReportsRoundOnesFailures) {
  CreateDirectoryA("C:\\data", nullptr);
  const std::string plain = std::string(65536, 'a') + "rest";
  unsigned char cfk[16];
  for (int i = 0; i < 16; ++i) cfk[i] = static_cast<unsigned char>(i * 0x11);
  unsigned char xcfk[33] = {};
  expand_cfk(cfk, xcfk);
  Write("C:\\data\\a.doc", plain);
  ASSERT_EQ(conversion::ConvertFileInPlace(conversion::kEncryption, xcfk, "C:\\data\\a.doc", nullptr, nullptr),
            conversion::kConverted);
  // The crash came in the middle of its decryption: the encrypted content under the temporary name, a part beside.
  ASSERT_TRUE(MoveFileA("C:\\data\\a.doc", "C:\\data\\a.doc.H0K"));
  Write("C:\\data\\a.doc", "half");
  Write(conversion::InstallFile("MRVEFLST"), "C:\\data\n");
  // Round 1's list ends in a bad line: the dialog's recovery stops there and does not call it a success.
  Write(conversion::InstallFile("MorvelSpecials1.txt"), "C:\\data\\left.doc\nC:\n");
  Write(conversion::InstallFile("MorvelSpecials.txt"), "C:\\old\\give-up.doc\n");
  std::string log = "old run\r\n[Decryption Log (Section 1)]\r\n";
  for (int i = 0; i < 450; ++i) log += "line " + std::to_string(i) + "\r\n";
  Write(conversion::InstallFile("MRVLOG"), log);
  SetFlag("Decrypted", "3");
  ASSERT_TRUE(write_hd_install_state(install_state::kFirstRoundDecrypted));

  xp::ui::Script script;
  script.Dialog(102).Click(IDOK);
  script.ExpectBox(conversion::kCaption, xp::ui::Pattern::Wildcard("It is recommended*")).Answer(IDNO);
  script.Dialog(137, conversion::kCaption).Click(IDOK);
  script.ExpectBox("Quillmarsh Tavik Uninstallation", xp::ui::Pattern::Wildcard("Important: During decryption*"))
      .Answer(IDOK);
  script.Dialog(139, conversion::kCaption).Check(1010).Click(1014);
  script.ExpectBox("Quillmarsh Tavik Recover Decryption", "Invalid folder name:\tlength less than 4!",
                   MB_OK | MB_ICONEXCLAMATION)
      .Answer(IDOK);
  script.ExpectBox(conversion::kCaption, "Some files are not recovered.\r\nPlease contact the vendor for more help.")
      .Answer(IDOK);
  script.Dialog(139).Click(1012);
  script.ExpectBox(conversion::kCaption, xp::ui::Pattern::Wildcard("Your hard drive(s) has been decrypted.*"))
      .Answer(IDNO);
  script.ExpectBox(conversion::kCaption, kNoUninstall).Answer(IDOK);
  EXPECT_EQ(RunEngine(script), 1);
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);

  EXPECT_EQ(Read("C:\\data\\a.doc"), plain);
  EXPECT_FALSE(Read("C:\\data\\a.doc.H0K").has_value());
  EXPECT_FALSE(Read(conversion::InstallFile("MorvelSpecials.txt")).has_value());
  EXPECT_TRUE(Read(conversion::InstallFile("MorvelSpecials1.txt")).has_value());
  const std::optional<std::string> report = Read(conversion::InstallFile("MorvelReport.txt"));
  ASSERT_TRUE(report.has_value());
  EXPECT_NE(report->find(" Decryption Key:\r\n" + std::string(kCfk) + "\r\n"), std::string::npos);
  EXPECT_EQ(conversion::ReadDecryptedFlag(), "1");

  // The dialog's report, as the journal quotes it.
  std::string shown = "[Decryption Log (Section 1)]\\r\\n";
  for (int i = 0; i < 399; ++i) shown += "line " + std::to_string(i) + "\\r\\n";
  shown += " ...";
  bool found = false;
  for (const std::string& line : xp::test::UiJournal(machine_.root())) {
    if (line.rfind("dialog 139 control 1015 edit ", 0) == 0 && line.find("line 0") != std::string::npos) {
      EXPECT_EQ(line, "dialog 139 control 1015 edit \"" + shown + "\" readonly");
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

// "Cache" is the user's own setting: the Yes answer empties it only where it names a folder of its own, never a
// drive's root or a folder of the system (the warning then says the cache was not found); the Windows temporary
// folder is emptied every time.
TEST_F(EngineRunTest, TheYesAnswerEmptiesTheCacheOnlyWhereItIsAFolderOfItsOwn) {
  struct Case {
    const char* cache;  // nullptr: no "Cache" value
    const char* folder;
    bool emptied;
  };
  const Case cases[] = {
      {"C:\\Cache", "C:\\Cache", true},
      {"C:\\", "C:", false},
      {"c:\\windows\\", "C:\\WINDOWS", false},
      {"C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32", false},
      {"C:\\Documents and Settings", "C:\\Documents and Settings", false},
      {nullptr, "C:\\Cache", false},
  };
  constexpr char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  for (const char* folder : {"C:\\Cache", "C:\\WINDOWS\\Temp", "C:\\Documents and Settings"}) {
    CreateDirectoryA(folder, nullptr);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cache != nullptr ? c.cache : "no Cache value");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (c.cache != nullptr) {
      RegSetValueExA(key, "Cache", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.cache),
                     static_cast<DWORD>(std::strlen(c.cache) + 1));
    } else {
      RegDeleteValueA(key, "Cache");
    }
    RegCloseKey(key);
    PrepareInstall();
    SetFlag("Decrypted", "0");
    ASSERT_TRUE(write_hd_install_state(install_state::kInstallDone));
    const std::string kept = std::string(c.folder) + "\\kept.tmp";
    Write(kept, "the user's");
    Write("C:\\WINDOWS\\Temp\\setup.tmp", "temporary");

    xp::ui::Script script;
    script.Dialog(102).Click(IDOK);
    script.ExpectBox(conversion::kCaption, xp::ui::Pattern::Wildcard("It is recommended that you empty*")).Answer(IDYES);
    if (!c.emptied) {
      script.ExpectBox(conversion::kCaption, "Warning:\r\nFailed to get IE cache folder.\r\nClick OK to continue.")
          .Answer(IDOK);
    }
    script.ExpectBox("Quillmarsh Tavik Uninstallation", xp::ui::Pattern::Wildcard("Important: During decryption*"))
        .Answer(IDOK);
    script.ExpectBox(conversion::kCaption, kAllDecrypted).Answer(IDOK);
    script.ExpectBox(conversion::kCaption, kNoUninstall).Answer(IDOK);
    EXPECT_EQ(RunEngine(script), 1);
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
    EXPECT_EQ(Read(kept).has_value(), !c.emptied);
    EXPECT_FALSE(Read("C:\\WINDOWS\\Temp\\setup.tmp").has_value());
    DeleteFileA(kept.c_str());
  }
}

}  // namespace
}  // namespace tavik::diskunseal
