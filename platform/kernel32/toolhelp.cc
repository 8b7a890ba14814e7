// Toolhelp snapshots over the machine's process table (never the host's): the processes, or one process's modules
// (its program, the first module of every process on XP, as psapi reports it).
#include <cstring>
#include <memory>
#include <vector>

#include "kernel32_private.h"
#include "tlhelp32.h"
#include "xp/debug.h"
#include "xp/faults.h"
#include "xp/processes.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

// XP's base priority of a normal-priority process.
constexpr LONG kNormalPriority = 8;
// Where XP programs load, the program module's handle (as psapi gives it).
BYTE* const kProgramBase = reinterpret_cast<BYTE*>(0x00400000);
// XP's use counts of a module loaded at start.
constexpr DWORD kLoadedAtStart = 0xFFFF;

void FillProcess(const machine::ProcessRecord& process, PROCESSENTRY32* entry) {
  entry->th32ProcessID = process.pid;
  entry->cntThreads = 1;
  entry->th32ParentProcessID = process.parent;
  entry->pcPriClassBase = kNormalPriority;
  std::strncpy(entry->szExeFile, process.ExeFile().c_str(), sizeof entry->szExeFile - 1);
}

void FillModule(const machine::ProcessRecord& process, MODULEENTRY32* entry) {
  entry->th32ModuleID = 1;
  entry->th32ProcessID = process.pid;
  entry->GlblcntUsage = kLoadedAtStart;
  entry->ProccntUsage = kLoadedAtStart;
  entry->modBaseAddr = kProgramBase;
  entry->hModule = reinterpret_cast<HMODULE>(kProgramBase);
  std::strncpy(entry->szModule, process.ExeFile().c_str(), sizeof entry->szModule - 1);
  std::strncpy(entry->szExePath, process.image.c_str(), sizeof entry->szExePath - 1);
}

// A snapshot of process records, each handed out as one Entry (a process, or its program module).
template <typename Entry, void (*Fill)(const machine::ProcessRecord&, Entry*)>
class Snapshot : public KernelObject {
 public:
  explicit Snapshot(std::vector<machine::ProcessRecord> records) : records_(std::move(records)) {}

  // Fills `entry` with the record at `index`; false past the end.
  bool Take(size_t index, Entry* entry) {
    next_ = index + 1;
    if (index >= records_.size()) return false;
    const DWORD size = entry->dwSize;
    std::memset(entry, 0, sizeof *entry);
    entry->dwSize = size;
    Fill(records_[index], entry);
    return true;
  }
  size_t next() const { return next_; }

 private:
  const std::vector<machine::ProcessRecord> records_;
  size_t next_ = 0;
};

using ProcessSnapshot = Snapshot<PROCESSENTRY32, FillProcess>;
using ModuleSnapshot = Snapshot<MODULEENTRY32, FillModule>;

// The snapshot behind `handle`, given a well-sized entry, or nullptr with the last error set.
template <typename SnapshotType, typename Entry>
std::shared_ptr<SnapshotType> Resolve(HANDLE handle, const Entry* entry) {
  auto snapshot = std::dynamic_pointer_cast<SnapshotType>(LookupHandle(handle));
  if (!snapshot) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (entry == nullptr || entry->dwSize != sizeof(Entry)) {
    SetLastError(ERROR_BAD_LENGTH);
    return nullptr;
  }
  return snapshot;
}

template <typename SnapshotType, typename Entry>
BOOL Walk(HANDLE handle, Entry* entry, bool first) {
  const auto snapshot = Resolve<SnapshotType>(handle, entry);
  if (!snapshot) return FALSE;
  if (snapshot->Take(first ? 0 : snapshot->next(), entry)) return TRUE;
  SetLastError(ERROR_NO_MORE_FILES);
  return FALSE;
}

// The modules of `process_id`: its program, or none for the idle process and System.
HANDLE SnapModules(DWORD process_id) {
  const std::optional<machine::ProcessRecord> process = machine::FindProcess(process_id);
  if (!process || !process->live) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (process->pseudo) return InsertHandle(std::make_shared<ModuleSnapshot>(std::vector<machine::ProcessRecord>{}));
  if (const DWORD error = ProcessAccess(*process, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  return InsertHandle(std::make_shared<ModuleSnapshot>(std::vector<machine::ProcessRecord>{*process}));
}

}  // namespace
}  // namespace xp::kernel32

// Exported by kernel32. The process id is not read for TH32CS_SNAPPROCESS, as on XP.
extern "C" HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD process_id) {
  if (flags != TH32CS_SNAPPROCESS && flags != TH32CS_SNAPMODULE) {
    XP_FIXME("CreateToolhelp32Snapshot", "only TH32CS_SNAPPROCESS and TH32CS_SNAPMODULE are implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("CreateToolhelp32Snapshot")) {
    SetLastError(*error);
    return INVALID_HANDLE_VALUE;
  }
  if (flags == TH32CS_SNAPMODULE) return xp::kernel32::SnapModules(process_id);
  return xp::InsertHandle(std::make_shared<xp::kernel32::ProcessSnapshot>(xp::machine::ListProcesses(true)));
}

// Exported by kernel32.
extern "C" BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry) {
  return xp::kernel32::Walk<xp::kernel32::ProcessSnapshot>(snapshot, entry, true);
}

// Exported by kernel32.
extern "C" BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry) {
  return xp::kernel32::Walk<xp::kernel32::ProcessSnapshot>(snapshot, entry, false);
}

// Exported by kernel32.
extern "C" BOOL Module32First(HANDLE snapshot, LPMODULEENTRY32 entry) {
  return xp::kernel32::Walk<xp::kernel32::ModuleSnapshot>(snapshot, entry, true);
}

// Exported by kernel32.
extern "C" BOOL Module32Next(HANDLE snapshot, LPMODULEENTRY32 entry) {
  return xp::kernel32::Walk<xp::kernel32::ModuleSnapshot>(snapshot, entry, false);
}
