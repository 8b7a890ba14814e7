// What diskseal's files share, grouped by the file that defines it: the fixed names and captions, the stop that
// ends a long operation, the message dialog and boxes, the log stamps, the token binding, the disk-state flag and
// the RunOnce entry that brings the program back.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disk_state.h"
#include "windows.h"

class CWnd;

namespace tavik::diskseal {

inline constexpr char kCaption[] = "Quillmarsh Tavik";
inline constexpr char kInstallCaption[] = "Quillmarsh Tavik Installation";
inline constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";
// The Windows path limit every walked path and list line keeps to.
inline constexpr size_t kMaxPath = 260;
// The file at the install folder's fixed path.
std::string InstallFile(std::string_view name);

// A long operation gives up: its text is shown by the one handler at the operation's end. Nothing else is ever
// caught there, so a crash or a program error is never mistaken for it.
struct InstallStop {
  std::string text;
};
[[noreturn]] void Stop(std::string text);

// ---- drives.cc
// The letters whose root "X:\" is a fixed drive, in letter order.
std::vector<char> FixedDriveLetters();

// ---- message_dlg.cc
// The one-button message dialog, modal over `parent` (nullptr: no owner).
void ShowMessageDlg(CWnd* parent, const std::string& text, const std::string& caption = kCaption,
                    const std::string& button = "OK");
// A system message box owned by `owner`'s window (nullptr: none); the button pressed.
int Box(CWnd* owner, const std::string& text, const std::string& caption, UINT type);

// ---- install_log.cc
// The stamp every log line begins with: "%i-%i-%i %i:%i:%i " of the machine's local time.
std::string Stamp();
// A stamped log line: stamp and text, cut to 458 characters, then "\n".
std::string LogLine(const std::string& text);
// Opens `file` for appending, writes prefix and text, flushes and closes it; false when it does not open.
bool AppendToFile(const std::string& file, const std::string& prefix, const std::string& text);
// Writes what the cache still holds of the (closed) file to the disk: a list the install's next checkpoint relies
// on must survive a power loss. True once it is there.
bool FlushedToDisk(const std::string& file);
// One progress stamp of the encryption ("Start 1st round encryption.") in _mrvDebugInfo.txt.
void StampDebugInfo(const char* event);

// ---- esn_binding.cc
// The token's serial number is saved as the bound one, or compared with it; each shows its own message in the
// message dialog over `parent` and gives false when it fails. The password dialogs' copy of SaveTokenEsn breaks
// the line after "Invalid ESN.".
bool SaveTokenEsn(CWnd* parent, bool break_after_invalid = false);
bool CheckEsnMatch(CWnd* parent);
// The bound serial number from the registry, when it can be read.
std::optional<std::string> BoundEsn();
// CheckEsnMatch up to four times in all; false after the fourth failure.
bool CheckEsnFourTimes(CWnd* parent);

// ---- decrypted_flag.cc
// The disk-state flag "Decrypted", when it can be read (at most 3 characters).
std::optional<std::string> ReadDecryptedFlag();
// Sets the flag, or shows why not in the message dialog and gives false.
bool WriteDecryptedFlag(CWnd* parent, const char* value);
// Sets the flag, or raises the caller's own text for an unopened key or an unwritten value as a stop.
void WriteDecryptedFlagOrStop(const char* value, const char* open_error, const char* write_error);

// ---- install_registry.cc: the driver's registry data and the installing user's folder.
bool CreateProductKeys(CWnd* owner);
bool addHDSerialNo2Registry(CWnd* owner);
bool SaveSysDir(CWnd* owner);
// "nostart" = 1 under the driver's key; failures only warn.
void EnableAutomaticActivation(CWnd* owner);

// ---- driver_service.cc
// 0, or the system error that kept the driver service from being there as the install needs it.
DWORD InstallDriverService(CWnd* owner);

// ---- key_files.cc
// MRVPUZSN: 16 bytes and their 32 lower-case digits with a NUL. MRVENTFE: 32 bytes.
bool ReadSnFile(unsigned char* sn, char* hex);
bool ReadEfknFile(unsigned char* efkn);
// Whether `xcfk` is the key the install's records hold: the token's answer to MRVPUZSN opens MRVENTFE into it.
bool KeyMatchesRecords(const unsigned char* xcfk);
// The XCFK the token's S1 gives (through the token's answer), into 33 bytes.
enum class TokenKey { kMade, kNoS1, kS1NotRead, kNoAnswer };
TokenKey KeyFromToken(unsigned char* xcfk);
// Whether the token's S1 gives the key the records hold: then files may be encrypted under it, and the token must
// never get a new S1. kUnknown when the token could not be asked.
enum class TokenKeyUse { kNotUsed, kUsed, kUnknown };
TokenKeyUse TokenKeyForRecords();

// ---- resume_records.cc
// Whether the disk-state flag says encryption has begun ("2").
bool EncryptionHasBegun();
// The install state; nullopt when it cannot be read as a number, or is missing once encryption has begun (then
// it is not created).
std::optional<unsigned short> ReadInstallState();
// Whether the encryption history or its backup can be read.
bool HistoryReadable();

// ---- run_setup.cc
// The RunOnce value "RunSetup" that starts diskseal at the next administrator logon: deleted and set again.
void ArmRunSetup();
void DisarmRunSetup();

}  // namespace tavik::diskseal
