// The dialogs of the stand-in for the system's own MSGINA.DLL, by number and control ID, for the UI scripts that
// answer them (tests, xpmachine logon). Never included by system code.
#pragma once

namespace xp::msgina {

// "Log On to Windows": user name and password, OK and Cancel.
inline constexpr int kLogonDialog = 1500;
inline constexpr int kLogonUserName = 1502;
inline constexpr int kLogonPassword = 1504;

// "Windows Security", after Ctrl+Alt+Del while a user is logged on.
inline constexpr int kSecurityDialog = 1600;
inline constexpr int kSecurityLock = 1602;
inline constexpr int kSecurityLogOff = 1603;
inline constexpr int kSecurityShutDown = 1604;
inline constexpr int kSecurityRestart = 1605;

// "Unlock Computer": the logged-on user's password.
inline constexpr int kUnlockDialog = 1700;
inline constexpr int kUnlockPassword = 1704;

}  // namespace xp::msgina
