// The shared state of program_state.h.
#include "program_state.h"

namespace Common {
bool ProbeDone = false;
int ProbeResult = 0;
}  // namespace Common

namespace Utility {
bool ChineseLocale = false;
}  // namespace Utility

namespace Register {
namespace {
STARTUPINFOA StartRecordOf68Bytes() {
  STARTUPINFOA record{};
  record.cb = 68;  // the record's size on XP
  return record;
}
}  // namespace
STARTUPINFOA StartRecord = StartRecordOf68Bytes();
PROCESS_INFORMATION ProcessRecord{};
}  // namespace Register

// The web client's switch: this program never sets it, so each of its requests is plain HTTP to port 80.
bool UseSSL = false;
