// A machine as the installer leaves it for the logon component, with Winlogon run in the test's own process (so
// the driver in the process's kernel can be asked afterwards): the token with its password and S1 record, the key
// records in the install folder, the flag key with the bound ESN, the driver's service, "GinaDLL" naming
// logongate.dll in the system folder, the user programs of "Userinit", and a protected document. The key material
// is worked out as the token's maker can, so the component is checked against numbers it did not make.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "windows.h"
#include "xp/machine.h"
#include "xp/ui_script.h"
#include "xp/winlogon.h"

namespace tavik::logongate::testing {

using Block = std::array<uint8_t, 16>;
using Key = std::array<uint8_t, 32>;

inline constexpr char kCaption[] = "Quillmarsh Tavik";
inline constexpr char kTokenPassword[] = "secret12";
inline constexpr char kUser[] = "alice";
inline constexpr char kUserPassword[] = "Al1cePw";
inline constexpr char kDomain[] = "WORKSTATION";
inline constexpr char kDocument[] = "C:\\Docs\\report.txt";
inline constexpr char kDocumentText[] = "the quarterly figures, in plain text";
inline constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";

// The dialogs and controls a script answers.
enum : int {
  kWelcome = 100, kMessage = 101, kUnlock = 102, kManage = 103, kSelect = 104, kTokenPasswordDialog = 112,
  kLegalNotice = 113, kLocked = 200, kLogon = 300, kOptions = 400, kShutdown = 500, kAddAccount = 600,
  kChangePassword = 800,
  kPassword = 1000, kKeyAnswer = 1008, kKeyPuzzle = 1045, kTokenMode = 1047, kKeyAnswerMode = 1048, kLogOn = 203,
  kShutdownButton = 202, kAccountCombo = 1019, kUserEdit = 604, kDomainEdit = 606, kAccountPassword = 608,
  kUnlockPassword = 1057, kUnlockOk = 1010, kUnlockCancel = 1009, kLock = 405, kLogOff = 1002, kShutDownButton = 410,
  kChangePasswordButton = 1003, kManageButton = 1011, kTaskManager = 407, kAccountList = 1012, kDeleteAccount = 1018,
  kDeleteAll = 1055, kOldPassword = 805, kNewPassword = 807, kConfirmPassword = 809, kLogOffChoice = 502,
  kShutdownChoice = 503, kRebootChoice = 504, kPowerOffChoice = 508, kTokenPasswordEdit = 1044,
  kTokenPasswordOk = 1042,
};

struct MachineSetup {
  bool installed = true;  // the flag key, the key records and the driver
  bool encrypted_document = true;
  std::string edition = "Professional";
  uint64_t token_seed = 1;
};

// The key material of an install: S1 on the token, CFK the token's answer to it, the XCFK, SN and KN (the
// token's answer to SN), and EFKN (the XCFK wrapped under KN).
struct KeyMaterial {
  Block s1, cfk, sn, kn;
  Key xcfk, efkn;
};

// Public throughout, so that the rows of a test's table can prepare the machine.
class LogonTest : public ::testing::Test {
 public:
  explicit LogonTest(MachineSetup setup = {}) : setup_(setup) {}
  void SetUp() override;
  void TearDown() override;

  const std::filesystem::path& root() const { return root_; }
  // Runs Winlogon in this process, answered by `script`, until it shuts down, restarts or nobody is left at the
  // keys.
  xp::winlogon::Outcome RunWinlogon(const xp::ui::Script& script);
  // The journal's lines without their clock and pid, from `first` on.
  std::vector<std::string> Journal(size_t first = 0) const;
  // Its "ui " lines, without that prefix.
  std::vector<std::string> Ui() const;

  bool KeyHeld() const;
  // The document as a program of the machine reads it: plaintext once the driver holds the key.
  std::optional<std::string> ReadThroughMachine(const std::string& path) const;
  // A file of the machine's disk as it lies there.
  std::optional<std::string> OnDisk(const std::string& path) const;
  void PutOnDisk(const std::string& path, const std::string& bytes) const;
  // The key records in the install folder.
  Block Sn() const;
  Key Efkn() const;
  // The token's answer (slot 0, over the fixed block) to a value: KN for an SN, the Key Answer for a Key Puzzle.
  Block TokenAnswerTo(const Block& value, const std::string& token_id = "") const;
  // Whether a KN opens an EFKN to the install's XCFK.
  bool Opens(const Block& kn, const Key& efkn) const;
  // A second token, plugged in place of the machine's, with its own password set.
  std::string SwapInOtherToken(uint64_t seed, const std::string& password);
  void SetMachineString(const std::string& key, const std::string& name, const std::string& text) const;
  std::optional<std::string> MachineString(const std::string& key, const std::string& name) const;
  void AppendToDescription(const std::string& lines) const;
  // Token pages as they are.
  std::vector<uint8_t> TokenBytes(int page, int offset, int length) const;
  void WriteTokenBytes(int page, int offset, const std::vector<uint8_t>& bytes) const;

  MachineSetup setup_;
  std::filesystem::path root_;
  std::string token_;
  std::string esn_;
  KeyMaterial keys_;

 private:
  void Install();
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Hex digits of bytes, lower case.
std::string Hex(const uint8_t* bytes, size_t n);
template <size_t N>
std::string Hex(const std::array<uint8_t, N>& bytes) {
  return Hex(bytes.data(), N);
}

// Script pieces: the welcome notice's Ctrl+Alt+Del; the token logon typed in the logon dialog; an account chosen
// (or added) in Select Account; Ctrl+Alt+Del at the desktop; and the end of a run, shutting down from the logon
// dialog or from the options of a logged-on user.
void Welcome(xp::ui::Script& script);
void TokenLogOn(xp::ui::Script& script, const std::string& password = kTokenPassword);
void ChooseAccount(xp::ui::Script& script, const std::string& item);
void AddAccount(xp::ui::Script& script, const std::string& user, const std::string& domain,
                const std::string& password);
void AtDesktop(xp::ui::Script& script);
void ShutDownFromLogon(xp::ui::Script& script);
void ShutDownFromDesktop(xp::ui::Script& script);
// The whole first token logon of alice, as a new account on the token.
void FirstLogOn(xp::ui::Script& script);

// The elements of `lines`, in order, each found (matching as a script pattern) after the one before it.
::testing::AssertionResult InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& patterns);
size_t CountMatching(const std::vector<std::string>& lines, const std::string& pattern);

}  // namespace tavik::logongate::testing
