// A process's modules as psapi reports them: here only its program, the first module of every process on XP.
#include <algorithm>
#include <cstring>

#include "psapi.h"
#include "windows.h"
#include "xp/process_handles.h"
#include "xp/processes.h"

namespace {

// The program module's handle: the image base XP programs load at.
const HMODULE kProgramModule = reinterpret_cast<HMODULE>(0x00400000);
constexpr DWORD kReadRights = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

// The live process behind `process`, or nullopt with the last error set.
std::optional<xp::machine::ProcessRecord> LiveProcess(HANDLE process) {
  uint32_t pid = 0;
  if (const DWORD error = xp::ResolveProcessHandle(process, kReadRights, &pid); error != ERROR_SUCCESS) {
    SetLastError(error);
    return std::nullopt;
  }
  std::optional<xp::machine::ProcessRecord> record = xp::machine::FindProcess(pid);
  if (!record || !record->live) {
    SetLastError(ERROR_PARTIAL_COPY);  // an ended process's memory can no longer be read
    return std::nullopt;
  }
  return record;
}

}  // namespace

// Exported by psapi.
extern "C" BOOL EnumProcessModules(HANDLE process, HMODULE* modules, DWORD cb, LPDWORD bytes_needed) {
  if (bytes_needed == nullptr || (modules == nullptr && cb != 0)) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (!LiveProcess(process)) return FALSE;
  if (cb >= sizeof(HMODULE)) modules[0] = kProgramModule;
  *bytes_needed = sizeof(HMODULE);
  return TRUE;
}

// Exported by psapi. module NULL names the program too, as on XP.
extern "C" DWORD GetModuleBaseNameA(HANDLE process, HMODULE module, LPSTR base_name, DWORD size) {
  if (module != nullptr && module != kProgramModule) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const std::optional<xp::machine::ProcessRecord> record = LiveProcess(process);
  if (!record) return 0;
  if (base_name == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::string name = record->ExeFile();
  const DWORD copied = static_cast<DWORD>(std::min<size_t>(name.size(), size - 1));
  std::memcpy(base_name, name.data(), copied);
  base_name[copied] = '\0';
  return copied;
}
