// Whether a specials list goes with the report's key: a list last written before a key block of another key (an
// earlier install's uninstall or give-up) names files of that key, and a copy made with this one would be garbage
// that the verify cannot tell from the truth.
#pragma once

#include <string>

namespace tavik::recoverkit {

// True when `list` was last written after the second `stamp` names (the machine's local time, as the log writes
// it: "%i-%i-%i %i:%i:%i"). An empty or unreadable stamp disowns nothing.
bool WrittenAfter(const std::string& list, const std::string& stamp);

}  // namespace tavik::recoverkit
