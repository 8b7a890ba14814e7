// A module's message table, the resource FormatMessageA reads for FORMAT_MESSAGE_FROM_HMODULE. A stand-in DLL that
// carries one (wininet.dll for its 12xxx codes) defines kMessageTableSymbol as an array of entries ending in an
// entry with a null text; FormatMessageA finds it with dlsym on the module handle. Never included by system code.
#pragma once

#include "windef.h"

namespace xp {

struct MessageTableEntry {
  DWORD id;
  const char* text;  // as the message compiler leaves it: the message and a closing "\r\n"
};

inline constexpr char kMessageTableSymbol[] = "xp_message_table";

}  // namespace xp
