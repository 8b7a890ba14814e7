// The LAN authentication agent, an outside party: while a logon of an account it watches runs (LogonUserW), it
// challenges the workstation over the network and checks the token's answer. Never included by system code.
#pragma once

#include <string>

namespace xp::lanagent {

// Connects to the workstation's "logongate Port" (HKLM "SOFTWARE\Teradolm\Gorsewick", decimal text), sends a
// puzzle record (a fresh challenge, key slot 1, a PSS for the next free slot, one hash input) ended by a NUL, reads
// the 256-byte response and checks its answer against the token the response names, as the token's maker can.
// True when the answer is right. Journals "lanagent <account>: <what happened>". The machine's description can
// make the agent misbehave ("lanagent.mode = silent | unterminated | no-pss"): it then sends nothing, 256 bytes
// without an end, or a puzzle without a PSS.
bool ChallengeWorkstation(const std::string& account);

}  // namespace xp::lanagent
