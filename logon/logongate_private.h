// Declarations shared inside logongate, grouped by the file that defines them.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "windows.h"
#include "winwlx.h"

namespace tavik::logongate {

inline constexpr char kCaption[] = "Quillmarsh Tavik";
inline constexpr char kLoginFailed[] = "Login Failed";
inline constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP";
// The component's own secure-attention event: Enter at its notices.
inline constexpr DWORD kLogongateSas = 256;
// A logon state's token when no user is logged on.
inline const HANDLE kNoToken = INVALID_HANDLE_VALUE;

// ---- module_state.cc: the module-wide state of the one Winlogon the component lives in.

// A Windows account kept on the token.
struct Account {
  Account* next = nullptr;
  std::u16string user;
  std::u16string domain;
  std::u16string password;
  std::u16string comment;
  uint32_t flags = 0;
};
inline constexpr uint32_t kSaveAfterLogon = 0x20;  // save the list to the token after a logon with this account

// The parameter of the logon, options and shutdown dialogs.
struct LogonState {
  int save_required = 0;
  HANDLE user_token = kNoToken;
  Account* current = nullptr;
};

// The system's own GINA's entry points, bound by WlxNegotiate.
struct Msgina {
  decltype(&WlxNegotiate) Negotiate = nullptr;
  decltype(&WlxInitialize) Initialize = nullptr;
  decltype(&WlxDisplaySASNotice) DisplaySASNotice = nullptr;
  decltype(&WlxLoggedOutSAS) LoggedOutSAS = nullptr;
  decltype(&WlxActivateUserShell) ActivateUserShell = nullptr;
  decltype(&WlxLoggedOnSAS) LoggedOnSAS = nullptr;
  decltype(&WlxDisplayLockedNotice) DisplayLockedNotice = nullptr;
  decltype(&WlxIsLockOk) IsLockOk = nullptr;
  decltype(&WlxWkstaLockedSAS) WkstaLockedSAS = nullptr;
  decltype(&WlxIsLogoffOk) IsLogoffOk = nullptr;
  decltype(&WlxLogoff) Logoff = nullptr;
  decltype(&WlxShutdown) Shutdown = nullptr;
  decltype(&WlxStartApplication) StartApplication = nullptr;   // may be missing
  decltype(&WlxScreenSaverNotify) ScreenSaverNotify = nullptr;  // may be missing
};

struct Module {
  HINSTANCE instance = nullptr;
  HANDLE wlx = nullptr;
  const WLX_DISPATCH_VERSION_1_3* dispatch = nullptr;
  int installed = 1;     // the morvelFlag key exists; fixed by WlxInitialize
  bool forward = false;  // every entry goes to MSGINA
  std::atomic<bool> resumed{false};  // the machine suspended or resumed since the last unlock
  bool driver_loaded = false;
  bool password_change_required = false;
  LogonState* logon_state = nullptr;
  Account* accounts = nullptr;
  char bound_esn[128] = {};  // the token name of the last good password check
  Msgina msgina;
};
Module& TheModule();

// ---- debug_log.cc: the debug log (win.ini [logongate] "DebugFlags", "LogFile").
enum Level { kError = 1, kWarning = 2, kTrace = 4 };
void ReadDebugSettings();
void LogEvent(Level level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// ---- winlogon_calls.cc: what the component shows, all through Winlogon's dispatch table.
int ShowBox(HWND owner, const std::string& text, const char* caption, UINT style);
// A dialog of the component's resources with `procedure` and `param`.
int ShowDialog(int id, DLGPROC procedure, LPARAM param, HWND owner = nullptr);
// The one-button message dialog 101 with its text and title: 1 OK, 0 Cancel.
int ShowMessageDialog(HWND owner, const std::string& text, const std::string& title = kLoginFailed);
void SasNotify(DWORD sas);
// -1 (no dialog) and the results Winlogon ends a dialog with (101 to 104) mean nothing was chosen.
bool NothingChosen(int result);

// ---- dialog_text.cc: controls' texts in UTF-16 and the machine's ANSI.
std::u16string ItemText(HWND dialog, int id, int capacity);
void SetItemText(HWND dialog, int id, const std::u16string& text);
std::u16string Wide(const std::string& ansi);
std::string Narrow(const std::u16string& text);
bool SameIgnoringCase(const std::u16string& a, const std::u16string& b);
void EnableItem(HWND dialog, int id, bool enable);

// ---- settings.cc: the registry values the component reads and writes.
// HKLM morvelFlag "ESN" (at most 127 characters), or nullopt.
bool ReadRegistryEsn(std::string* esn);
// HKLM "SOFTWARE\Teradolm\Gorsewick" "Last User" and "Last Domain".
bool ReadLastUser(std::u16string* user, std::u16string* domain);
void StoreLastUser(const std::u16string& user, const std::u16string& domain);
bool XpHomeEdition();
std::u16string ComputerName();
bool SafeMode();

// ---- account_list.cc: the accounts kept on the token (the MiniAccountList in a blob at user page 6).
bool SaveMiniAccount(Account* head);
bool LoadMiniAccounts(LogonState* state);
void freeAccountList();
// Takes one account out of the list and frees it; the current account is cleared if it was this one.
void RemoveAccount(Account* account);
extern const char kSaveFailure[];
void ShowSaveFailure(HWND owner);

// ---- account_dialogs.cc: Select Account (104), Add Account (600), token password (112).
int ShowSelectAccount(LogonState* state, HWND owner);
void ShowTokenPassword(HWND owner);
// ---- manage_accounts.cc (103).
int ShowManageAccounts(LogonState* state, HWND owner);

// ---- token_messages.cc: the password checks' answers the dialogs share.
extern const char kNotInserted[];
extern const char kInvalidPassword[];
extern const char kExceededAttempts[];
extern const char kReadTavikFailed[];

// ---- full_name.cc: on XP Home, a full name typed for an account becomes the account's name.
std::u16string AccountNameOf(const std::u16string& typed);

// ---- disk_key.cc: the key hand-over at a token logon and the key rotation.
struct KeyContext {
  HWND owner = nullptr;
  uint8_t efkn[33] = {};
  uint8_t sn[17] = {};
};
enum HandOver {
  kKeyWasHeld = 0,
  kSafeMode = 1,
  kS1Unreadable = 2,
  kTokenAnswerFailed = 3,
  kKeyRefused = 4,
  kKeySetAndRotated = 7,
  kIsCfkSetFailed = 8,
  kS1RecordBad = 9,
};
HandOver HandOverDiskKey(KeyContext& context);
// ---- key_answer.cc
bool CheckKeyAnswer(const std::u16string& answer, KeyContext& context);

// ---- lan_listener.cc: the listener of one logon attempt.
void StartLanListener();
// Stops it and waits for its end; true when it sent a response during the attempt.
bool StopLanListener();

// ---- logon_dialog.cc (300) and logon_attempt.cc.
int ShowLogonDialog(LogonState* state);
enum Attempt { kAttemptLoggedOn = 1, kAttemptFailed = 2, kAttemptNotAuthorized = 18 };
Attempt AttemptLogon(Account* account, PSID logon_sid, PLUID logon_id);

// ---- other dialogs: notices.cc (100, 113, 200), unlock_dialog.cc (102), options_dialog.cc (400),
// shutdown_dialog.cc (500), change_password.cc (800).
void ShowSasNotice();
void ShowLockedNotice();
int ShowUnlockDialog();
int ShowOptions(LogonState* state);
int ShowShutdownDialog(LogonState* state, HWND owner);
int ShowChangePassword(LogonState* state, HWND owner);

// ---- user_shell.cc
BOOL StartUserPrograms(PWSTR desktop, PVOID winlogon_environment);

// ---- power_events.cc: the hidden window's thread that hears suspend and resume.
void StartPowerEventThread();
void EndPowerEventThread();

}  // namespace tavik::logongate
