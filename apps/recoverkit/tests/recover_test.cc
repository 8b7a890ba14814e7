// recoverkit run as a program of a scratch machine whose uninstall left files encrypted: the report's key, the
// specials lists and the files they name, made here with a known key; the person clicks "Recover My Files" and
// answers the boxes. The copies must hold the original bytes and the encrypted files must stay exactly as they
// were, whatever the report and lists say.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "built_programs.h"
#include "pattern.h"
#include "run_program.h"
#include "scratch_machine.h"
#include "setupcore.h"
#include "ui_journal.h"
#include "windows.h"
#include "winsvc.h"
#include "xp/faults.h"
#include "xp/ui_script.h"

namespace tavik::recoverkit {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kDialog = 102;
constexpr char kCaption[] = "File Recovery Tool";
constexpr char kListCaption[] = "Quillmarsh Tavik File Decryption";
constexpr char kFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\";
constexpr char kKey[] = "2b7e151628aed2a6abf7158809cf4f3c";       // the CFK the files are encrypted under
constexpr char kOldKey[] = "000102030405060708090a0b0c0d0e0f";    // an earlier install's
constexpr char kSuccess[] =
    "Your files have been successfully recovered and decrypted. The\r\ndecrypted files have .H2K extension and are "
    "located in the\r\nsame folders as the original files. (You may open\r\nMorvelSpecials1.txt and "
    "MorvelSpecials2.txt located in this folder:\r\nC:\\Program Files\\Quillmarsh\\Tavik\\XP\\\r\nto view which "
    "files have been recovered.)\r\n\r\nIf you want to finish uninstall, please run Uninstall from\r\nStart Menu.";
constexpr char kSome[] = "Some files have not been recovered.";

// A report as the uninstall writes it: the log, then the key block.
std::string Report(const std::string& key_line) {
  return "2026-12-1 9:0:0 [Decryption Log (Section 1)]\r\n2026-12-1 9:0:1 D8 Write file failed: C:\\a\\one.doc\r\n"
         "\r\n2026-12-1 9:0:2 Decryption Key:\r\n" + key_line + "\r\n";
}

class RecoverTest : public ::testing::Test {
 protected:
  RecoverTest() {
    const unsigned char cfk[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                                   0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
    expand_cfk(cfk, xcfk_);
    for (const char* folder : {"C:\\Program Files", "C:\\Program Files\\Quillmarsh", "C:\\Program Files\\Quillmarsh\\Tavik",
                               "C:\\Program Files\\Quillmarsh\\Tavik\\XP", "C:\\a"}) {
      CreateDirectoryA(folder, nullptr);
    }
  }

  static std::string Install(const std::string& name) { return kFolder + name; }

  // The file cipher's whole blocks, by an AES-128-ECB nobody here wrote, under the XCFK's first 16 bytes; the
  // plaintexts are whole blocks, so no tail rule is involved.
  Bytes Encrypted(const Bytes& plain) const {
    Bytes out(plain.size());
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(context, EVP_aes_128_ecb(), nullptr, xcfk_, nullptr);
    EVP_CIPHER_CTX_set_padding(context, 0);
    int length = 0;
    EVP_EncryptUpdate(context, out.data(), &length, plain.data(), static_cast<int>(plain.size()));
    EVP_CIPHER_CTX_free(context);
    return out;
  }

  static void Put(const std::string& path, const std::string& text) { Put(path, Bytes(text.begin(), text.end())); }
  static void Put(const std::string& path, const Bytes& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    if (!bytes.empty()) {
      ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    }
    CloseHandle(file);
  }
  static std::optional<Bytes> Get(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    Bytes bytes;
    unsigned char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    CloseHandle(file);
    return bytes;
  }
  // The last-write time, as one number.
  static uint64_t WriteTime(const std::string& path) {
    FILETIME times[3] = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    GetFileTime(file, &times[0], &times[1], &times[2]);
    CloseHandle(file);
    return (static_cast<uint64_t>(times[2].dwHighDateTime) << 32) | times[2].dwLowDateTime;
  }

  // An encrypted file of `size` bytes (a whole number of blocks) at `path`; its plaintext.
  Bytes Protected(const std::string& path, size_t size) {
    Bytes plain = xp::test::Pattern(size, static_cast<uint32_t>(path.size()));
    Put(path, Encrypted(plain));
    return plain;
  }

  // Runs recoverkit: one click on "Recover My Files", the boxes the script expects, then "Exit".
  void Recover(xp::ui::Script script) {
    script.Dialog(kDialog).Click(IDCANCEL);
    Run(script, 0);
  }
  // One click on "Recover My Files" that shows `refusals` (each a list's box), then the success box or the one that
  // says some files were not recovered; afterwards exactly the `recovered` ones among `originals` have a ".H2K"
  // copy, equal to their original.
  void RecoverExpecting(const std::vector<std::string>& refusals, bool success,
                        const std::vector<std::string>& recovered,
                        const std::vector<std::pair<std::string, const Bytes*>>& originals) {
    xp::ui::Script script = Click();
    for (const std::string& refusal : refusals) {
      script.ExpectBox(kListCaption, refusal, MB_OK | MB_ICONEXCLAMATION).Answer(IDOK);
    }
    script.ExpectBox(kCaption, success ? kSuccess : kSome).Answer(IDOK);
    Recover(script);
    for (const auto& [path, original] : originals) {
      const bool listed = std::find(recovered.begin(), recovered.end(), path) != recovered.end();
      EXPECT_EQ(Get(path + ".H2K"), listed ? std::optional<Bytes>(*original) : std::nullopt) << path;
    }
  }
  // Runs recoverkit with `script` as it stands; it must end with `exit_code`.
  void Run(const xp::ui::Script& script, int exit_code) {
    const size_t first = xp::test::UiJournal(machine_.root()).size();
    script.Install(machine_.root());
    const xp::test::ProgramRun run = xp::test::RunProgram(xp::test::BuildProgram("recoverkit"), {});
    shown_ = xp::test::UiJournal(machine_.root(), first);
    EXPECT_EQ(run.exit_code, exit_code) << run.output;
    EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u) << run.output;
  }
  static void SetWriteTime(const std::string& path, uint64_t time) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    const FILETIME written = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
  }
  static xp::ui::Script Click() {
    xp::ui::Script script;
    script.Dialog(kDialog, kCaption).Click(IDOK);
    return script;
  }

  xp::test::ScratchMachine machine_{[] {
    xp::test::ScratchOptions options;
    options.no_ui = true;
    return options;
  }()};
  unsigned char xcfk_[33] = {};
  std::vector<std::string> shown_;
};

// Whatever the report says, nothing is recovered and the encrypted file stays as it was.
TEST_F(RecoverTest, AReportThatGivesNoUsableKeyRecoversNothing) {
  struct Case {
    const char* what;
    std::optional<std::string> report;  // nullopt: no report
    const char* caption;
    std::string text;
  } cases[] = {
      {"no report", std::nullopt, kCaption,
       "The File Recovery Tool has not detected a decryption error report.\r\nThere are no files to decrypt or "
       "recover."},
      {"no key block", std::string("[Decryption Log (Section 1)]\r\n"), kCaption,
       "Read decryption key error - empty string."},
      {"an empty key line", Report(""), kCaption, "Read decryption key error - empty string."},
      {"a blank inside", Report("2b7e151628aed2a6 abf7158809cf4f3c"), "Incorrect key data.",
       "2b7e151628aed2a6 abf7158809cf4f3c"},
      {"31 digits", Report(std::string(kKey).substr(0, 31)), "Incorrect key data.", std::string(kKey).substr(0, 31)},
      {"a key line past the buffer", Report(std::string(900, 'a')), kCaption, "Invalid folder name: too long string."},
  };
  const std::string file = "C:\\a\\one.doc";
  const Bytes plain = Protected(file, 4096);
  const std::optional<Bytes> before = Get(file);
  Put(Install("MorvelSpecials1.txt"), file + "\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(Install("MorvelReport.txt").c_str());
    if (c.report) Put(Install("MorvelReport.txt"), *c.report);
    xp::ui::Script script = Click();
    script.ExpectBox(c.caption, c.text).Answer(IDOK);
    Recover(script);
    EXPECT_FALSE(Get(file + ".H2K").has_value());
    EXPECT_EQ(Get(file), before);
  }
}

// MRVLOG is appended across installs: an old key block may stand before this run's.
TEST_F(RecoverTest, TheKeyIsTheLastBlocksAndCopiesHoldTheOriginalsWhileTheFilesStayAsTheyWere) {
  const std::vector<std::pair<std::string, size_t>> files = {
      {"C:\\a\\one.doc", 16}, {"C:\\a\\two.xls", 65536}, {"C:\\a\\three.bin", 65536 * 2 + 48}};
  std::vector<Bytes> plains;
  std::string list;
  for (const auto& [path, size] : files) {
    plains.push_back(Protected(path, size));
    list += path + "\r\n";
  }
  Put("C:\\a\\two.xls.H2K", std::string("an older copy"));
  std::vector<uint64_t> times;
  std::vector<std::optional<Bytes>> encrypted;
  for (const auto& [path, size] : files) {
    times.push_back(WriteTime(path));
    encrypted.push_back(Get(path));
  }
  // 33 digits in upper case: the first 32 are used.
  std::string key_line = std::string(kKey) + "f";
  for (char& c : key_line) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  Put(Install("MorvelReport.txt"), Report(kOldKey) + Report(key_line));
  Put(Install("MorvelSpecials2.txt"), list + "C:\\a\\gone.doc\n");                   // gone: skipped, not counted
  xp::ui::Script script = Click();
  script.ExpectBox(kCaption, kSuccess).Answer(IDOK);
  Recover(script);
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].first);
    EXPECT_EQ(Get(files[i].first + ".H2K"), plains[i]);
    EXPECT_EQ(Get(files[i].first), encrypted[i]);
    EXPECT_EQ(WriteTime(files[i].first), times[i]);
  }
}

// A decryption whose restore failed left a file's encrypted content under its temporary name: the copy is made from
// there, whether nothing or a stray partial file lies under the file's own name, and neither is touched.
TEST_F(RecoverTest, AFileLeftUnderItsDecryptionsTemporaryNameIsRecoveredFromThere) {
  const std::string alone = "C:\\a\\one.doc";
  const std::string beside = "C:\\a\\two.xls";
  const Bytes plain_alone = Protected(alone + ".H0K", 4096);
  const Bytes plain_beside = Protected(beside + ".H0K", 65536 + 32);
  Put(beside, std::string("a partial plain file"));
  const std::optional<Bytes> encrypted_alone = Get(alone + ".H0K");
  const std::optional<Bytes> encrypted_beside = Get(beside + ".H0K");
  Put(Install("MorvelReport.txt"), Report(kKey));
  Put(Install("MorvelSpecials1.txt"), alone + "\n" + beside + "\n");
  xp::ui::Script script = Click();
  script.ExpectBox(kCaption, kSuccess).Answer(IDOK);
  Recover(script);
  EXPECT_EQ(Get(alone + ".H2K"), plain_alone);
  EXPECT_EQ(Get(beside + ".H2K"), plain_beside);
  EXPECT_EQ(Get(alone + ".H0K"), encrypted_alone);
  EXPECT_EQ(Get(beside + ".H0K"), encrypted_beside);
  EXPECT_FALSE(Get(alone).has_value());
  const std::string partial = "a partial plain file";
  EXPECT_EQ(Get(beside), Bytes(partial.begin(), partial.end()));
}

// A later attempt that fails part-way (a read of the encrypted file) leaves the earlier copy as it was, read-only as
// its user left it, and nothing half-written beside it.
TEST_F(RecoverTest, AnAttemptThatFailsPartWayKeepsTheEarlierCopy) {
  const std::string file = "C:\\a\\three.bin";
  const Bytes plain = Protected(file, 65536 * 2 + 48);
  Put(Install("MorvelReport.txt"), Report(kKey));
  Put(Install("MorvelSpecials1.txt"), file + "\n");
  xp::ui::Script first = Click();
  first.ExpectBox(kCaption, kSuccess).Answer(IDOK);
  Recover(first);
  ASSERT_EQ(Get(file + ".H2K"), plain);
  SetFileAttributesA((file + ".H2K").c_str(), FILE_ATTRIBUTE_READONLY);

  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "ReadFile", 2, 1, ERROR_READ_FAULT, file});
  xp::ui::Script again = Click();
  again.ExpectBox("Read error code 30", file + ".H2K").Answer(IDOK);
  again.ExpectBox(kCaption, kSome).Answer(IDOK);
  Recover(again);
  xp::machine::ClearFaults();
  EXPECT_EQ(Get(file + ".H2K"), plain);
  EXPECT_EQ(GetFileAttributesA((file + ".H2K").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  std::vector<std::string> beside;
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA("C:\\a\\*", &entry);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    if (entry.cFileName[0] != '.') beside.push_back(entry.cFileName);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  std::sort(beside.begin(), beside.end());
  EXPECT_EQ(beside, (std::vector<std::string>{"three.bin", "three.bin.H2K"}));
}

TEST_F(RecoverTest, AListThatIsRefusedOrMissingCountsAsYouWouldExpect) {
  const std::string file = "C:\\a\\one.doc";
  const std::string other = "C:\\a\\two.doc";
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, std::string>> lists;  // list name -> content
    std::vector<std::string> refusals;                       // the boxes with the list caption, in order
    bool success;
    std::vector<std::string> recovered;
  } cases[] = {
      {"only the second list", {{"MorvelSpecials2.txt", file + "\n"}}, {}, true, {file}},
      {"the give-up's list", {{"MorvelSpecials.txt", other}}, {}, true, {other}},
      {"a short line stops the first list, the second still runs",
       {{"MorvelSpecials1.txt", "C:\n" + file + "\n"}, {"MorvelSpecials2.txt", other + "\n"}},
       {"Invalid folder name:\tlength less than 4!"},
       false,
       {other}},
      {"a line without a drive",
       {{"MorvelSpecials1.txt", "\\\\server\\share\\x.doc\n"}},
       {"Invalid folder name: invalid characters found."},
       false,
       {}},
      // The walks list paths of up to 260 characters: one of those is read (and, missing, skipped); one more is not.
      {"a line of 260 characters, then one with trailing blanks, both ending in CR LF",
       {{"MorvelSpecials1.txt", "C:\\" + std::string(257, 'x') + "\r\n" + file + "  \r\n"}},
       {},
       true,
       {file}},
      {"a line of 261 characters", {{"MorvelSpecials1.txt", "C:\\" + std::string(258, 'x') + "\n" + file + "\n"}},
       {"Invalid folder name: too long string."}, false, {}},
      {"a slash for the backslash", {{"MorvelSpecials1.txt", "C:/a/one.doc\n"}},
       {"Invalid folder name: invalid characters found."}, false, {}},
      {"no list at all", {}, {"Open file failure."}, false, {}},
  };
  Put(Install("MorvelReport.txt"), Report(kKey));
  const Bytes plain = Protected(file, 4096);
  const Bytes plain_other = Protected(other, 8192);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* name : {"MorvelSpecials1.txt", "MorvelSpecials2.txt", "MorvelSpecials.txt"}) {
      DeleteFileA(Install(name).c_str());
    }
    DeleteFileA((file + ".H2K").c_str());
    DeleteFileA((other + ".H2K").c_str());
    for (const auto& [name, content] : c.lists) Put(Install(name), content);
    RecoverExpecting(c.refusals, c.success, c.recovered, {{file, &plain}, {other, &plain_other}});
  }
}

// Lists go with their report's key: a list last written before the report's latest block of another key (an earlier
// install's) names files of that key and is skipped as if it were not there; with no other list left, nothing is
// read and the success box does not follow. Blocks of the same key, however old, disown nothing.
TEST_F(RecoverTest, OnlyListsWrittenSinceTheLastBlockOfAnotherKeyAreRead) {
  // 2026-11-01 09:00:00 and 2026-11-20 09:00:00 UTC (the machine's time zone) as file times.
  constexpr uint64_t kBeforeOldReport = 134379972000000000ULL;
  constexpr uint64_t kAfterOldReport = 134396388000000000ULL;
  const std::string old_heading = "2026-11-10 9:0:0 Decryption Key:\r\n";
  const std::string old_block = std::string("\r\n") + old_heading + kOldKey + "\r\n";
  const std::string file = "C:\\a\\one.doc";
  const std::string other = "C:\\a\\two.doc";
  struct Case {
    const char* what;
    std::string report;
    uint64_t first_list_written;  // MorvelSpecials1.txt names `file`, MorvelSpecials.txt names `other`
    uint64_t giveup_list_written;
    std::vector<std::string> refusals;
    bool success;
    std::vector<std::string> recovered;
  } cases[] = {
      {"a stale give-up list beside the uninstall's", old_block + Report(kKey), kAfterOldReport, kBeforeOldReport,
       {}, true, {file}},
      {"both lists stale", old_block + Report(kKey), kBeforeOldReport, kBeforeOldReport, {"Open file failure."}, false,
       {}},
      {"an older block of the same key", std::string("\r\n") + old_heading + kKey + "\r\n" + Report(kKey),
       kBeforeOldReport, kBeforeOldReport, {}, true, {file, other}},
      {"one block only", Report(kKey), kBeforeOldReport, kBeforeOldReport, {}, true, {file, other}},
  };
  const Bytes plain = Protected(file, 4096);
  const Bytes plain_other = Protected(other, 8192);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA((file + ".H2K").c_str());
    DeleteFileA((other + ".H2K").c_str());
    Put(Install("MorvelReport.txt"), c.report);
    Put(Install("MorvelSpecials1.txt"), file + "\n");
    Put(Install("MorvelSpecials.txt"), other + "\n");
    SetWriteTime(Install("MorvelSpecials1.txt"), c.first_list_written);
    SetWriteTime(Install("MorvelSpecials.txt"), c.giveup_list_written);
    RecoverExpecting(c.refusals, c.success, c.recovered, {{file, &plain}, {other, &plain_other}});
  }
}

// While the filter driver's service runs, the driver would hand the tool the files' plaintext to decrypt again: the
// tool says so and ends before it reads anything. A service that is there but stopped is no obstacle.
TEST_F(RecoverTest, TheToolDoesNotStartWhileTheDriversServiceRuns) {
  const std::string file = "C:\\a\\one.doc";
  const Bytes plain = Protected(file, 4096);
  const std::optional<Bytes> encrypted = Get(file);
  Put(Install("MorvelReport.txt"), Report(kKey));
  Put(Install("MorvelSpecials1.txt"), file + "\n");
  // The kernel loads a driver's image from the drive's folder: it goes there while the kernel is down.
  machine_.StopKernel();
  const std::filesystem::path drivers = machine_.root() / "drives" / "C" / "WINDOWS" / "system32" / "drivers";
  std::filesystem::create_directories(drivers);
  std::filesystem::copy_file(xp::test::BuildProgram("xp_ntos_test_driver"), drivers / "morvel.sys");
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(manager, nullptr);
  const SC_HANDLE service =
      CreateServiceA(manager, "Morvel", "Morvel", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                     SERVICE_ERROR_NORMAL, "C:\\WINDOWS\\system32\\drivers\\morvel.sys", nullptr, nullptr, nullptr,
                     nullptr, nullptr);
  ASSERT_NE(service, nullptr);
  ASSERT_TRUE(StartServiceA(service, 0, nullptr)) << GetLastError();

  xp::ui::Script refused;
  refused
      .ExpectBox(kCaption,
                 "Quillmarsh Tavik kernel is still active, files can not be recovered.\r\nPlease complete the "
                 "uninstallation of Quillmarsh Tavik, then run the File Recovery Tool again.",
                 MB_OK | MB_ICONEXCLAMATION)
      .Answer(IDOK);
  Run(refused, 1);
  EXPECT_FALSE(Get(file + ".H2K").has_value());
  EXPECT_EQ(Get(file), encrypted);

  SERVICE_STATUS status;
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  xp::ui::Script stopped = Click();
  stopped.ExpectBox(kCaption, kSuccess).Answer(IDOK);
  Recover(stopped);
  EXPECT_EQ(Get(file + ".H2K"), plain);
}

// A file that does not open names itself and the system's error; the count adds up over the clicks.
TEST_F(RecoverTest, AFileThatDoesNotOpenIsShownAndCountedOverEveryClick) {
  const std::string file = "C:\\a\\one.doc";
  Protected(file, 4096);
  Put(Install("MorvelReport.txt"), Report(kKey));
  Put(Install("MorvelSpecials1.txt"), file + "\n");
  HANDLE holder = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  xp::ui::Script script = Click();
  script.ExpectBox("CreateFile error code 32", file, MB_OK | MB_ICONERROR).Answer(IDOK);
  script.ExpectBox(kCaption, kSome).Answer(IDOK);
  script.Dialog(kDialog).Click(IDOK);
  script.ExpectBox("CreateFile error code 32", file, MB_OK | MB_ICONERROR).Answer(IDOK);
  script.ExpectBox(kCaption, kSome).Answer(IDOK);
  Recover(script);
  CloseHandle(holder);
  EXPECT_FALSE(Get(file + ".H2K").has_value());
}

// The system menu's About item shows the tool's name and version, and back in the dialog nothing was read or
// written: no box follows. The dialog shows the program's icon, big and small.
TEST_F(RecoverTest, TheAboutItemShowsTheToolsNameAndTheDialogItsIcon) {
  xp::ui::Script script;
  script.Dialog(kDialog, kCaption).SystemMenu(16);
  script.Dialog(100, "About Tavik Recovery Tool").Click(IDOK);
  Recover(script);
  for (const char* line : {"dialog 102 icon big 128", "dialog 102 icon small 128", "dialog 102: system-menu 16",
                           "dialog 100 control 1035 static \"Quillmarsh Tavik File Recovery Tool\\r\\nVersion 1.0\"",
                           "dialog 100 end 1"}) {
    EXPECT_NE(std::find(shown_.begin(), shown_.end(), line), shown_.end()) << line;
  }
  for (const std::string& line : shown_) EXPECT_EQ(line.rfind("box ", 0), std::string::npos) << line;
}

}  // namespace
}  // namespace tavik::recoverkit
