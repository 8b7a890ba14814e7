// What a person does at the logon component's dialogs after an install, as UI script steps: the token logon, and
// the Windows account added to the token's list at the first logon or chosen from it later. The install machines
// and the logon machines answer the same dialogs through these.
#pragma once

#include <string_view>

#include "xp/ui_script.h"

namespace tavik::scenarios {

// Ctrl+Alt+Del at the welcome notice, then the token's password in the logon dialog and Log On.
void AnswerTokenLogOn(xp::ui::Script& script, std::string_view token_password);
// The first logon: "New_Account" chosen, and the Windows password of the account it adds (the logged-on user's).
void AnswerFirstAccount(xp::ui::Script& script, std::string_view windows_password);
// A later logon: the account the token keeps, as the list shows it ("user@domain").
void AnswerKeptAccount(xp::ui::Script& script, std::string_view account);

}  // namespace tavik::scenarios
