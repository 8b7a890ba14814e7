// The machine's 8.3 alias table. Its volumes keep no short names, so GetShortPathNameA gives a path back as it
// was given unless the path, or a folder above it, is listed here. Kept in DIR/short_names, one
// "<long path>\t<short path>" line each, which a person can read. Never included by system code.
#pragma once

#include <string>

namespace xp::kernel32 {

// Makes GetShortPathNameA give `short_path` for `long_path` ("C:\Program Files\Quillmarsh" ->
// "C:\PROGRA~1\QUILLM~1"), and the short path followed by the rest for every path beneath it.
void AddShortNameAlias(const std::string& long_path, const std::string& short_path);

}  // namespace xp::kernel32
