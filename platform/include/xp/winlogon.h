// The Winlogon host: loads the GINA that "GinaDLL" names and runs it as Winlogon does, from the secure-attention
// notice through logon, the user's session, lock and log-off to shutdown or restart. The program winlogon runs it in
// a booted machine (xp/boot.h); tests of a GINA may run it in-process. Never included by system code.
#pragma once

#include <optional>
#include <string>

#include "windef.h"

namespace xp::winlogon {

// The screens on which Winlogon itself waits for Ctrl+Alt+Del (a UI script's ctrl-alt-del steps name them).
inline constexpr char kWelcomeScreen[] = "Welcome to Windows";
inline constexpr char kDesktopScreen[] = "Windows desktop";
inline constexpr char kLockedScreen[] = "Computer Locked";

struct TypedLogon {
  std::string user;
  std::string password;
};

struct Options {
  DWORD version = 0x00010003;  // the interface version offered to WlxNegotiate (WLX_VERSION_1_3)
  // xpmachine logon: the user name and password typed at the system's own logon dialog, answered by a script of
  // Winlogon's own; the session's programs are answered as XPMACHINE_UI says. Only with the MSGINA stand-in.
  std::optional<TypedLogon> typed_logon;
};

enum class Outcome {
  kRestart,      // a restart was asked for (ExitWindowsEx, or the GINA's restart): the next boot proceeds
  kShutDown,     // the GINA shut the machine down
  kNobodyThere,  // Winlogon waited for Ctrl+Alt+Del with nobody to press it (a script played out): it stops there
  kFailed,       // the GINA could not be loaded, negotiated or initialised, or a typed logon is not possible
};

// The winlogon program's exit code for kNobodyThere (0: a restart or shutdown, 1: kFailed).
inline constexpr int kNobodyThereExitCode = 2;

// Runs Winlogon in the calling process until one of the outcomes; every step is journaled ("winlogon ...").
Outcome Run(const Options& options);

// The environment variable by which a boot hands a typed logon to the winlogon program ("USER\nPASSWORD"); the
// program removes it at once, so no program it starts sees the password.
inline constexpr char kTypedLogonVariable[] = "XPMACHINE_LOGON";

}  // namespace xp::winlogon
