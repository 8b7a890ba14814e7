// Windows command lines: how CreateProcessA finds the program in one, and how the started program's C run time
// splits it into argv.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace xp::kernel32 {

// The arguments of a command line, by the Windows C run time's rules: blanks separate; quotes group and are
// dropped; 2n backslashes before a quote give n and the quote groups, 2n + 1 give n and a literal quote; "" inside
// quotes is a literal quote; other backslashes are literal. The first argument, the program, ends at the closing
// quote or the first blank, its backslashes all literal.
std::vector<std::string> SplitCommandLine(std::string_view line);

// The program names CreateProcessA tries, in order, for a command line given without an application name: the text
// of a quoted first token alone; for an unquoted one every prefix ending before a blank, then the whole line, so
// that "C:\Program Files\a b.exe" tries "C:\Program" first, as Windows does.
std::vector<std::string> ProgramCandidates(std::string_view line);

}  // namespace xp::kernel32
