// Declarations shared inside the Winlogon host, grouped by the file that defines them.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "windows.h"
#include "winwlx.h"
#include "xp/winlogon.h"

namespace xp::winlogon {

// The GINA's entry points that Winlogon calls (no screen saver runs, and no application is started through the
// GINA, so WlxScreenSaverNotify and WlxStartApplication are not among them).
struct Gina {
  std::string name;  // as "GinaDLL" gives it, or "msgina.dll"
  bool is_msgina = false;
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
};

// A dialog the GINA opened through the dispatch table: its procedure, and its window once WM_INITDIALOG came.
struct GinaDialog {
  DLGPROC procedure;
  HWND window = nullptr;
};

// One Winlogon: its GINA, the context the GINA gave it, and what happened between the GINA's calls. The dispatch
// table's hWlx is the Host.
struct Host {
  Gina gina;
  PVOID context = nullptr;
  WLX_DISPATCH_VERSION_1_3 dispatch{};
  std::deque<DWORD> sas_queue;     // secure-attention events not yet handed to the GINA
  std::vector<GinaDialog> dialogs;  // the GINA's dialogs on screen, innermost last
  std::string user;                 // the logged-on account; empty while logged out
  HANDLE user_token = nullptr;      // the token the GINA gave for the logon, if any
};

// gina_loader.cc: loads the GINA that "GinaDLL" names: unset or "msgina.dll" is the MSGINA stand-in
// (LoadLibraryA("msgina.dll")); another name is the DLL of that name in C:\WINDOWS\system32 (or a Windows path),
// the file a setup program copied there. False with *error when it cannot be loaded or lacks an entry point.
bool LoadGina(Gina* gina, std::string* error);

// dispatch.cc: the dispatch table Winlogon gives the GINA, and the host its functions serve (one per process).
void BeginDispatch(Host* host);
void EndDispatch();
// The next secure-attention event, if one was raised (WlxSasNotify, or Ctrl+Alt+Del inside a GINA dialog).
std::optional<DWORD> TakeQueuedSas(Host& host);

// sas_wait.cc: true when someone can still press Ctrl+Alt+Del: a console, or a UI script with steps left.
bool SomeoneCanAnswer();

// session.cc: what comes while Winlogon waits on `screen` with no dialog up: the SAS type of a secure-attention
// event, or nullopt for a power event (carried out: every top-level window heard it).
std::optional<DWORD> WaitForSas(const char* screen);
// session.cc: the logged-on user's session.
enum class SessionEvent { kSas, kRestart, kNobodyThere };
// Waits on `screen` for what ends the wait: while the user's programs run, a restart request or a queued SAS;
// once none runs, a restart already asked for, else Ctrl+Alt+Del through the UI (when someone can press it).
SessionEvent WaitInSession(Host& host, const char* screen, DWORD* sas);
// Ends the user's programs that are still running (after `grace_ms` for them to end by themselves), then has the
// GINA log the user off.
void LogOff(Host& host, unsigned grace_ms);

// run_once.cc: at an administrator's logon (not in safe mode), deletes each value of HKLM RunOnce and then starts
// its command line as the user.
void RunOnceAtLogon(const std::string& user);

// typed_logon.cc: answers Winlogon's own logon questions (the keys and the MSGINA stand-in's dialog) from a typed
// user name and password, until Restore puts back the session's own UI setting.
class TypedLogonScript {
 public:
  explicit TypedLogonScript(const TypedLogon& logon);
  ~TypedLogonScript() { Restore(); }
  void Restore();

 private:
  std::optional<std::string> saved_;
  bool active_ = true;
};

}  // namespace xp::winlogon
