// KillProcessByName. The process status library (NT family) and the Toolhelp functions (9x/Me) are looked up at
// run time, so the program starts on both. Both paths compare a process's program name alone, upper-cased; every
// library and handle is released on every way out.
#include "kill_process.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "psapi.h"
#include "tlhelp32.h"

namespace {

constexpr size_t kLongestName = 260;
constexpr DWORD kFirstIdCount = 250;

// An entry point of a library loaded at run time, as its own type.
template <typename Function>
Function Entry(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

std::string Upper(const char* text) {
  std::string upper = text;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

DWORD Terminate(DWORD process_id) {
  const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, process_id);
  if (process == nullptr) return kOpenForEndingFailed;
  const BOOL ended = TerminateProcess(process, 0);
  CloseHandle(process);
  return ended ? kKilled : kTerminateFailed;
}

struct ProcessStatusCalls {
  decltype(&EnumProcesses) enum_processes;
  decltype(&EnumProcessModules) enum_process_modules;
  decltype(&GetModuleBaseNameA) get_module_base_name;
};

// Every process id, however many: the array grows until the list fits with room to spare.
bool AllProcessIds(const ProcessStatusCalls& calls, std::vector<DWORD>* ids) {
  ids->assign(kFirstIdCount, 0);
  for (;;) {
    DWORD returned = 0;
    const DWORD bytes = static_cast<DWORD>(ids->size() * sizeof(DWORD));
    if (!calls.enum_processes(ids->data(), bytes, &returned)) return false;
    if (returned < bytes) {
      ids->resize(returned / sizeof(DWORD));
      return true;
    }
    ids->resize(ids->size() * 2);
  }
}

// The upper-cased file name of the process's program; empty when it cannot be read.
std::string ProgramName(const ProcessStatusCalls& calls, DWORD process_id) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id);
  if (process == nullptr) return {};
  HMODULE module = nullptr;
  DWORD needed = 0;
  char name[MAX_PATH] = {};
  const bool named = calls.enum_process_modules(process, &module, sizeof module, &needed) &&
                     calls.get_module_base_name(process, module, name, sizeof name) > 0;
  CloseHandle(process);
  return named ? Upper(name) : std::string();
}

DWORD KillOnNt(const std::string& target) {
  const HMODULE psapi = LoadLibraryA("PSAPI.DLL");
  if (psapi == nullptr) return kPsapiMissing;
  const ProcessStatusCalls calls{
      Entry<decltype(&EnumProcesses)>(psapi, "EnumProcesses"),
      Entry<decltype(&EnumProcessModules)>(psapi, "EnumProcessModules"),
      Entry<decltype(&GetModuleBaseNameA)>(psapi, "GetModuleBaseNameA"),
  };
  DWORD result = kNoMatch;
  std::vector<DWORD> ids;
  if (calls.enum_processes == nullptr || calls.enum_process_modules == nullptr ||
      calls.get_module_base_name == nullptr) {
    result = kPsapiEntryMissing;
  } else if (!AllProcessIds(calls, &ids)) {
    result = kEnumProcessesFailed;
  } else {
    for (const DWORD id : ids) {
      if (ProgramName(calls, id) != target) continue;
      result = Terminate(id);
      break;
    }
  }
  FreeLibrary(psapi);
  return result;
}

struct ToolhelpCalls {
  decltype(&CreateToolhelp32Snapshot) create_snapshot;
  decltype(&Process32First) process_first;
  decltype(&Process32Next) process_next;
  decltype(&Module32First) module_first;
  decltype(&Module32Next) module_next;
};

// Walks the process snapshot; *result is set when the walk decided (a match, or a snapshot that failed).
void KillFromSnapshot(const ToolhelpCalls& calls, HANDLE processes, const std::string& target, DWORD* result) {
  PROCESSENTRY32 process{};
  process.dwSize = sizeof process;
  for (BOOL more = calls.process_first(processes, &process); more; more = calls.process_next(processes, &process)) {
    const HANDLE modules = calls.create_snapshot(TH32CS_SNAPMODULE, process.th32ProcessID);
    if (modules == INVALID_HANDLE_VALUE) {
      *result = kSnapshotFailed;
      return;
    }
    // The first module is the process's program; a library loaded in it ends nothing.
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    const bool match = calls.module_first(modules, &module) && Upper(module.szModule) == target;
    CloseHandle(modules);
    if (match) {
      *result = Terminate(process.th32ProcessID);
      return;
    }
  }
}

DWORD KillOn9x(const std::string& target) {
  const HMODULE kernel32 = LoadLibraryA("Kernel32.DLL");
  if (kernel32 == nullptr) return kKernel32Missing;
  const ToolhelpCalls calls{
      Entry<decltype(&CreateToolhelp32Snapshot)>(kernel32, "CreateToolhelp32Snapshot"),
      Entry<decltype(&Process32First)>(kernel32, "Process32First"),
      Entry<decltype(&Process32Next)>(kernel32, "Process32Next"),
      Entry<decltype(&Module32First)>(kernel32, "Module32First"),
      Entry<decltype(&Module32Next)>(kernel32, "Module32Next"),
  };
  DWORD result = kNoMatch;
  if (calls.create_snapshot == nullptr || calls.process_first == nullptr || calls.process_next == nullptr ||
      calls.module_first == nullptr || calls.module_next == nullptr) {
    result = kToolhelpEntryMissing;
  } else if (const HANDLE processes = calls.create_snapshot(TH32CS_SNAPPROCESS, 0); processes == INVALID_HANDLE_VALUE) {
    result = kSnapshotFailed;
  } else {
    KillFromSnapshot(calls, processes, target, &result);
    CloseHandle(processes);
  }
  FreeLibrary(kernel32);
  return result;
}

}  // namespace

DWORD KillProcessByName(const char* name) {
  const size_t length = std::strlen(name);
  if (length < 1 || length > kLongestName) return kBadName;
  const std::string target = Upper(name);
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) return kVersionUnknown;
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return KillOnNt(target);
  if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return KillOn9x(target);
  return kPlatformUnknown;
}
