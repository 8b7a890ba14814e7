// Pool tags of the kernel model's own allocations, as four characters read backwards in a dump.
#pragma once

#include "ddk/wdm.h"

namespace xp::ntos::tag {

constexpr ULONG Make(char a, char b, char c, char d) {
  return static_cast<ULONG>(a) | static_cast<ULONG>(b) << 8 | static_cast<ULONG>(c) << 16 |
         static_cast<ULONG>(d) << 24;
}
constexpr ULONG kUntagged = Make('N', 'o', 'n', 'e');  // ExAllocatePool without a tag, as XP tags it
constexpr ULONG kIoBuffer = Make('I', 'o', 'B', 'f');  // METHOD_BUFFERED system buffers

}  // namespace xp::ntos::tag
