// Declarations shared inside the MSGINA stand-in, grouped by the file that defines them.
#pragma once

#include <optional>
#include <string>

#include "windows.h"
#include "winwlx.h"

namespace xp::msgina {

// What WlxInitialize hands Winlogon as the context; every later entry must be given it back unchanged. One per
// process, as there is one Winlogon.
struct Context {
  HANDLE wlx = nullptr;
  const WLX_DISPATCH_VERSION_1_3* dispatch = nullptr;
  std::string user;  // the logged-on account as the machine spells it; empty while nobody is logged on
};

// context.cc: the module's context, made afresh by each WlxInitialize (a Winlogon started again in the same
// process, as tests do, gets a new one; the old pointer is no longer accepted) and ended by WlxShutdown.
Context* StartContext();
void EndContext();

// context.cc: the context behind Winlogon's pointer; a pointer that is not ours ends the process loudly, since
// Winlogon (or a GINA chained in front of this one) handed over the wrong context. Journals "msgina <entry>".
Context& ContextOf(PVOID context, const char* entry);
// The module handle of this DLL: its dialogs are resources of it.
HINSTANCE Module();

// logon_user.cc: LogonUserW on this computer (names ignore case, passwords do not). The account as the machine
// spells it and, when `token` is given, the logon's token; nullopt with *error LogonUserW's error.
std::optional<std::string> LogonUser(const std::string& name, const std::string& password, HANDLE* token,
                                     DWORD* error);

// dialogs.cc: shows a dialog of this DLL through Winlogon and returns its result (IDOK, IDCANCEL, a button's ID,
// or a WLX_DLG_* value when Winlogon ended it). `texts` receives the edits' contents when the user pressed OK.
struct DialogTexts {
  std::string user_name;
  std::string password;
};
int ShowLogonDialog(const Context& context, DialogTexts* texts);
int ShowSecurityDialog(const Context& context);
int ShowUnlockDialog(const Context& context, DialogTexts* texts);
// A message box through Winlogon.
int ShowBox(const Context& context, const std::string& text, const std::string& caption, UINT style);

}  // namespace xp::msgina
