// What diskseal's files share, grouped by the file that defines it: the fixed names and captions, the stop that
// ends a long operation, the message dialog and boxes, the log stamps, the token binding, the disk-state flag and
// the RunOnce entry that brings the program back.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion.h"
#include "disk_state.h"
#include "windows.h"

class CWnd;

namespace tavik::diskseal {

using conversion::Box;
using conversion::FixedDriveLetters;
using conversion::FlushedToDisk;
using conversion::InstallFile;
using conversion::kCaption;
using conversion::kInstallFolder;
using conversion::kMaxPath;
using conversion::LogLine;
using conversion::ReadDecryptedFlag;
using conversion::Stamp;
using conversion::Stop;
using InstallStop = conversion::RunStop;
inline constexpr char kInstallCaption[] = "Quillmarsh Tavik Installation";

// ---- message_dlg.cc
// The message dialog (IDD 135), modal over `parent` (nullptr: no owner).
void ShowMessageDlg(CWnd* parent, const std::string& text, const std::string& caption = kCaption,
                    const std::string& button = "OK");

// ---- install_log.cc
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

using conversion::KeyFromToken;
using conversion::ReadEfknFile;
using conversion::ReadSnFile;
using conversion::KeyMatchesRecords;
using conversion::TokenKey;
using conversion::TokenKeyForRecords;
using conversion::TokenKeyUse;
// A token whose S1 gives another key than the install's records hold.
inline constexpr char kNotTheInstallsKey[] =
    "The key on your Tavik is not the key your files were encrypted with.\r\n"
    "Please insert the Tavik this installation was started with.";

// ---- resume_records.cc
// Whether the disk-state flag says encryption has begun ("2").
bool EncryptionHasBegun();
// The install state; nullopt when it cannot be read as a number, or is missing once encryption has begun (then
// it is not created).
std::optional<unsigned short> ReadInstallState();
// Whether the encryption history or its backup can be read.
bool HistoryReadable();

// The RunOnce value "RunSetup" that starts diskseal at the next administrator logon: deleted and set again.
inline constexpr char kProgram[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskseal.exe";
inline void ArmRunSetup() { conversion::ArmRunSetup(kProgram); }
using conversion::DisarmRunSetup;

}  // namespace tavik::diskseal
