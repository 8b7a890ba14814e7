// Toolhelp process snapshots over the machine's process table (never the host's).
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

class ProcessSnapshot : public KernelObject {
 public:
  explicit ProcessSnapshot(std::vector<machine::ProcessRecord> processes) : processes_(std::move(processes)) {}

  // Fills `entry` with the process at `index`; false past the end.
  bool Fill(size_t index, PROCESSENTRY32* entry) {
    next_ = index + 1;
    if (index >= processes_.size()) return false;
    const machine::ProcessRecord& process = processes_[index];
    const DWORD size = entry->dwSize;
    std::memset(entry, 0, sizeof *entry);
    entry->dwSize = size;
    entry->th32ProcessID = process.pid;
    entry->cntThreads = 1;
    entry->th32ParentProcessID = process.parent;
    entry->pcPriClassBase = kNormalPriority;
    const std::string name = process.ExeFile();
    std::strncpy(entry->szExeFile, name.c_str(), sizeof entry->szExeFile - 1);
    return true;
  }
  size_t next() const { return next_; }

 private:
  const std::vector<machine::ProcessRecord> processes_;
  size_t next_ = 0;
};

// The snapshot behind `handle` and a well-sized entry, or FALSE with the last error set.
std::shared_ptr<ProcessSnapshot> Resolve(HANDLE handle, const PROCESSENTRY32* entry) {
  auto snapshot = std::dynamic_pointer_cast<ProcessSnapshot>(LookupHandle(handle));
  if (!snapshot) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (entry == nullptr || entry->dwSize != sizeof(PROCESSENTRY32)) {
    SetLastError(ERROR_BAD_LENGTH);
    return nullptr;
  }
  return snapshot;
}

BOOL FillOrEnd(ProcessSnapshot& snapshot, size_t index, PROCESSENTRY32* entry) {
  if (snapshot.Fill(index, entry)) return TRUE;
  SetLastError(ERROR_NO_MORE_FILES);
  return FALSE;
}

}  // namespace
}  // namespace xp::kernel32

// Exported by kernel32. The process id is not read for TH32CS_SNAPPROCESS, as on XP.
extern "C" HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD) {
  if (flags != TH32CS_SNAPPROCESS) {
    XP_FIXME("CreateToolhelp32Snapshot", "only TH32CS_SNAPPROCESS is implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("CreateToolhelp32Snapshot")) {
    SetLastError(*error);
    return INVALID_HANDLE_VALUE;
  }
  return xp::InsertHandle(std::make_shared<xp::kernel32::ProcessSnapshot>(xp::machine::ListProcesses(true)));
}

// Exported by kernel32.
extern "C" BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry) {
  const auto processes = xp::kernel32::Resolve(snapshot, entry);
  return processes ? xp::kernel32::FillOrEnd(*processes, 0, entry) : FALSE;
}

// Exported by kernel32.
extern "C" BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry) {
  const auto processes = xp::kernel32::Resolve(snapshot, entry);
  return processes ? xp::kernel32::FillOrEnd(*processes, processes->next(), entry) : FALSE;
}
