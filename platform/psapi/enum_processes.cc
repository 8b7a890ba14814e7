// EnumProcesses: the ids of the machine's live processes (never the host's).
#include <algorithm>

#include "psapi.h"
#include "windows.h"
#include "xp/faults.h"
#include "xp/processes.h"

// Exported by psapi.
extern "C" BOOL EnumProcesses(DWORD* process_ids, DWORD cb, LPDWORD bytes_returned) {
  if (bytes_returned == nullptr || (process_ids == nullptr && cb != 0)) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("EnumProcesses")) {
    SetLastError(*error);
    return FALSE;
  }
  const std::vector<xp::machine::ProcessRecord> processes = xp::machine::ListProcesses(true);
  const size_t count = std::min<size_t>(processes.size(), cb / sizeof(DWORD));
  for (size_t i = 0; i < count; ++i) process_ids[i] = processes[i].pid;
  *bytes_returned = static_cast<DWORD>(count * sizeof(DWORD));
  return TRUE;
}
