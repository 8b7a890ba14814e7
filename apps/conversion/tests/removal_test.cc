// The end of a decryption as both removal programs share it, on a scratch machine: the report file's bytes, the
// registry tree and the driver's service removed, and the hand-over's boxes.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <regex>
#include <string>

#include "conversion.h"
#include "fileapi.h"
#include "removal.h"
#include "scratch_machine.h"
#include "windows.h"
#include "winsvc.h"
#include "xp/ui_script.h"

namespace tavik::conversion {
namespace {

constexpr char kKey[] = "00112233445566778899aabbccddeeff";

std::optional<std::string> Read(const std::string& path) {
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, stream)) > 0;) bytes.append(chunk, got);
  std::fclose(stream);
  return bytes;
}

void Write(const std::string& path, const std::string& bytes, const char* mode = "wb") {
  std::FILE* stream = std::fopen(path.c_str(), mode);
  ASSERT_NE(stream, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fclose(stream);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(const char* subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void MakeKey(const char* subkey) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
  RegCloseKey(key);
}

class RemovalTest : public ::testing::Test {
 protected:
  RemovalTest() : machine_(xp::test::ScratchOptions{.no_ui = true}) {
    CreateDirectoryA("C:\\Program Files", nullptr);
    CreateDirectoryA("C:\\Program Files\\Quillmarsh", nullptr);
    CreateDirectoryA("C:\\Program Files\\Quillmarsh\\Tavik", nullptr);
    CreateDirectoryA(kInstallFolder, nullptr);
  }
  void Play(const xp::ui::Script& script) const { machine_.Play(script); }

  xp::test::ScratchMachine machine_;
};

TEST_F(RemovalTest, TheReportIsTheLogWithTheKeyBlockReadOnlyAndTheOtherProgramsListsGo) {
  // The log as the engine writes it: text-mode lines, so each ends in CR LF on the disk.
  Write(InstallFile("MRVLOG"), "\n[Decryption Log (Section 1)]\nError[D4]: x\n", "w");
  const std::string log = *Read(InstallFile("MRVLOG"));
  ASSERT_EQ(log, "\r\n[Decryption Log (Section 1)]\r\nError[D4]: x\r\n");
  // An older read-only report, an older run's list of the other program, and this run's own lists.
  Write(InstallFile("MorvelReport.txt"), "old report");
  SetFileAttributesA(InstallFile("MorvelReport.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  Write(InstallFile("MorvelSpecials.txt"), "C:\\old\\file.doc\n");
  Write(InstallFile("MorvelSpecials1.txt"), "C:\\data\\a.doc\n");

  ASSERT_TRUE(WriteDecryptionReport(kKey, {"MorvelSpecials1.txt", "MorvelSpecials2.txt"}, {"MorvelSpecials.txt"}));

  const std::string report = *Read(InstallFile("MorvelReport.txt"));
  EXPECT_EQ(report, *Read(InstallFile("MRVLOG")));
  ASSERT_EQ(report.compare(0, log.size(), log), 0);
  EXPECT_TRUE(std::regex_match(report.substr(log.size()),
                               std::regex("\r\n\\d{4}-\\d{1,2}-\\d{1,2} \\d{1,2}:\\d{1,2}:\\d{1,2} Decryption Key:\r\n" +
                                          std::string(kKey) + "\r\n")))
      << report.substr(log.size());
  EXPECT_EQ(GetFileAttributesA(InstallFile("MorvelReport.txt").c_str()) & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(Exists(InstallFile("MorvelSpecials.txt")));
  EXPECT_TRUE(Exists(InstallFile("MorvelSpecials1.txt")));

  // A second report (a resumed run) appends a second key block and replaces the read-only copy again.
  ASSERT_TRUE(WriteDecryptionReport(kKey, {}, {}));
  const std::string again = *Read(InstallFile("MorvelReport.txt"));
  EXPECT_EQ(again, *Read(InstallFile("MRVLOG")));
  EXPECT_GT(again.size(), report.size());
}

TEST_F(RemovalTest, AReportWithoutItsFolderSaysItWasNotWritten) {
  RemoveDirectoryA(kInstallFolder);
  EXPECT_FALSE(WriteDecryptionReport(kKey, {}, {}));
}

TEST_F(RemovalTest, TheProductTreeGoesWithItsSubkeysAndNothingBesideIt) {
  MakeKey("SOFTWARE\\Quillmarsh\\Tavik\\driver\\deep");
  MakeKey("SOFTWARE\\Quillmarsh\\morvelFlag");
  const RegistryRemovalBoxes boxes{nullptr, MB_ICONERROR, "open caption", "delete caption"};
  EXPECT_TRUE(RemoveProductRegistry(boxes));
  EXPECT_FALSE(KeyExists("SOFTWARE\\Quillmarsh\\Tavik"));
  EXPECT_TRUE(KeyExists("SOFTWARE\\Quillmarsh\\morvelFlag"));
  // Gone already (a resumed run): nothing to ask.
  EXPECT_TRUE(RemoveProductRegistry(boxes));
}

TEST_F(RemovalTest, WithoutTheCompanyKeyTheUserIsAskedToCheckTheTree) {
  xp::ui::Script script;
  script.ExpectBox("open caption", "Important:\r\nPlease ensure the following registry key and subkeys has been "
                                   "deleted.\r\nIf it still exists, manually remove it, then click "
                                   "OK:\r\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Quillmarsh\\Tavik")
      .Answer(IDOK);
  Play(script);
  EXPECT_FALSE(RemoveProductRegistry({nullptr, MB_ICONERROR, "open caption", "delete caption"}));
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

TEST_F(RemovalTest, TheDriverServiceIsRemovedAndAMissingOneCountsAsRemoved) {
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(manager, nullptr);
  const SC_HANDLE service =
      CreateServiceA(manager, "Morvel", "Morvel", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_SYSTEM_START,
                     SERVICE_ERROR_NORMAL, "system32\\drivers\\morvel.sys", nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(service, nullptr);
  CloseServiceHandle(service);

  EXPECT_TRUE(RemoveDriverService());
  EXPECT_EQ(OpenServiceA(manager, "Morvel", SERVICE_QUERY_STATUS), nullptr);
  EXPECT_TRUE(RemoveDriverService());
  CloseServiceHandle(manager);
}

constexpr HandOverTexts kTexts{"Use the recovery tool?", MB_ICONEXCLAMATION, "All decrypted.", MB_ICONINFORMATION,
                               410};

void SetLink(const char* link) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarsh\\morvelFlag", 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "ISLink", 0, REG_SZ, reinterpret_cast<const BYTE*>(link),
                 static_cast<DWORD>(std::string(link).size() + 1));
  RegCloseKey(key);
}

TEST_F(RemovalTest, TheHandOverAsksOrTellsAndSaysWhichProgramDidNotStart) {
  constexpr char kNoUninstall[] = "Launch process failed.\r\nPlease run Installshield from CD to complete uninstall.";
  struct Case {
    const char* what;
    bool files_failed;
    const char* first_box;
    int answer;
    const char* failure;
  };
  const Case cases[] = {
      {"no file failed", false, "All decrypted.", IDOK, kNoUninstall},
      {"files failed, the recovery tool", true, "Use the recovery tool?", IDYES, "Launch process failed."},
      {"files failed, the uninstall", true, "Use the recovery tool?", IDNO, kNoUninstall},
  };
  SetLink("C:\\Program Files\\Quillmarsh\\missing-uninstall.exe");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    xp::ui::Script script;
    script.ExpectBox(kCaption, c.first_box).Answer(c.answer);
    script.ExpectBox(kCaption, c.failure).Answer(IDOK);
    Play(script);
    EXPECT_FALSE(HandOver(nullptr, c.files_failed, kTexts));
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  }
}

TEST_F(RemovalTest, WithoutTheUninstallCommandNothingIsAsked) {
  xp::ui::Script script;
  script.ExpectBox(kCaption, "Read Installshield link failed.").Answer(IDOK);
  Play(script);
  EXPECT_FALSE(HandOver(nullptr, true, kTexts));
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

}  // namespace
}  // namespace tavik::conversion
