// A machine ready for the install engine, as the outside installer and the first dialogs leave it: fixed drives C:
// and D: (and a CD-ROM E:), the registry of a fresh installation, the flag key with "Decrypted" = "4", the
// installer's lists in the install folder, a token bound by its serial number with its password set; and the
// engine with a view that records what it shows.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "install/init_encrypt.h"
#include "install/install_view.h"
#include "scratch_machine.h"
#include "windows.h"
#include "xp/faults.h"
#include "xp/machine.h"
#include "xp/ui_script.h"

namespace tavik::diskseal::testing {

inline constexpr char kPassword[] = "secret12";
inline constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";
inline std::string InInstallFolder(const std::string& name) { return std::string(kInstallFolder) + "\\" + name; }

// What the engine showed through its owner.
class RecordingView : public InstallView {
 public:
  CWnd* Window() override { return nullptr; }
  std::string Password() override { return password; }
  void AppendText(const std::string& text) override { this->text += text; }
  void ShowCurrentFile(const std::string& path) override { current_file = path; }
  void ShowProgressBar(bool visible) override { bar_visible = visible; }
  void StartProgress(uint16_t upper) override {
    bar_visible = true;
    bar_upper = upper;
    bar_position = 0;
  }
  void StepProgress() override { ++bar_position; }
  void EnterEncryptionLook() override { encryption_look = true; }

  std::string password = kPassword;
  std::string text;
  std::string current_file;
  bool bar_visible = false;
  int bar_upper = 0;
  int bar_position = 0;
  bool encryption_look = false;
};

struct DriveSpec {
  char letter;
  std::string type;
  uint32_t serial;
  uint64_t free_bytes = 20ull << 30;
};

inline std::vector<DriveSpec> DefaultDrives() {
  return {{'C', "fixed", 0x5A3C71E4}, {'D', "fixed", 0x1234ABCD}, {'E', "cdrom", 0x0BADF00D}};
}

class EngineTest : public ::testing::Test {
 protected:
  // token_prepared: the token bound by its serial number and its password set, as the first dialogs leave it.
  explicit EngineTest(std::vector<DriveSpec> drives = DefaultDrives(), bool token_prepared = true);
  ~EngineTest() override;

  const std::filesystem::path& root() const { return machine_.root(); }
  const std::string& token() const { return machine_.token_id(); }
  CInitEncrypt& engine() { return *engine_; }
  RecordingView& view() { return view_; }
  // A fresh engine, as a new run of the program makes.
  void NewEngine();
  // The key of this install made as the key phase makes it: S1 on the token, the key records written.
  void MakeKeys();

  // Files through the machine's own calls.
  static void MakeFolders(const std::string& windows_path);
  static void Put(const std::string& windows_path, const std::string& bytes);
  static std::optional<std::string> Get(const std::string& windows_path);
  static bool Exists(const std::string& windows_path);
  static DWORD Attributes(const std::string& windows_path);
  // The lines of a text file of the install folder, line ends cut.
  static std::vector<std::string> Lines(const std::string& windows_path);

  // The plaintext as the file cipher encrypts it under `key` (the XCFK) in one piece.
  static std::string Encrypted(const std::string& plain, const unsigned char* key);
  // Plays the script for the boxes and dialogs the next calls show.
  void Play(const xp::ui::Script& script) const { machine_.Play(script); }
  static xp::ui::Script& AnswerMessage(xp::ui::Script& script, const std::string& caption);
  // The UI lines of the journal without their stamp and "ui " prefix.
  std::vector<std::string> UiJournal() const;
  // The texts the message dialog showed, in order.
  std::vector<std::string> MessagesShown() const;
  static std::string RandomBytes(size_t length, uint32_t seed);

 private:
  xp::test::ScratchMachine machine_;
  RecordingView view_;
  std::unique_ptr<CInitEncrypt> engine_;
};

}  // namespace tavik::diskseal::testing
