// How SetupAPI's calls end: the last error they leave, and the machine's fault points they ask first; and the
// text form of class GUIDs.
#include <cstdio>

#include "setupapi_private.h"
#include "xp/faults.h"

namespace xp::setupapi {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

BOOL Succeed() {
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

bool ParseGuid(const std::string& text, GUID* guid) {
  unsigned d[11] = {};
  char end = 0;
  if (std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x%c", &d[0], &d[1], &d[2], &d[3], &d[4], &d[5],
                  &d[6], &d[7], &d[8], &d[9], &d[10], &end) != 12 ||
      end != '}' || text.size() != 38) {
    return false;
  }
  guid->Data1 = d[0];
  guid->Data2 = static_cast<uint16_t>(d[1]);
  guid->Data3 = static_cast<uint16_t>(d[2]);
  for (int i = 0; i < 8; ++i) guid->Data4[i] = static_cast<uint8_t>(d[3 + i]);
  return true;
}

std::optional<DWORD> FaultOf(const char* function) { return machine::FailPoint(function); }

}  // namespace xp::setupapi
