// Processes of the machine: the caller's identity and exit, OpenProcess, TerminateProcess, GetExitCodeProcess and
// waiting on process handles. Every process linking kernel32 takes its place in the machine's table at load when
// XPMACHINE is set, and otherwise at its first process call once a machine is entered.
#include <strings.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <set>

#include "process_object.h"
#include "xp/accounts.h"
#include "xp/debug.h"
#include "xp/faults.h"
#include "xp/machine.h"
#include "xp/process_handles.h"
#include "xp/processes.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
constexpr DWORD kOpenableRights = PROCESS_TERMINATE | PROCESS_VM_READ | PROCESS_QUERY_INFORMATION | SYNCHRONIZE;

__attribute__((constructor)) void RegisterAtLoad() {
  if (machine::Present()) machine::RegisterCurrentProcess();
}

struct Children {
  std::mutex mutex;
  std::set<pid_t> running;
};

Children& Started() {
  static Children* const children = new Children;
  return *children;
}

bool IsAdministrator(const std::string& account_name) {
  const std::optional<machine::Account> account = machine::FindAccount(account_name);
  return account && account->administrator;
}

bool IsSystem(const std::string& account_name) {
  const std::optional<machine::Account> account = machine::FindAccount(account_name);
  return account && account->kind == machine::AccountKind::kSystem;
}

}  // namespace

DWORD ProcessAccess(const machine::ProcessRecord& target, DWORD desired_access) {
  const machine::ProcessRecord caller = machine::CurrentProcess();
  const bool own = ::strcasecmp(caller.account.c_str(), target.account.c_str()) == 0;
  if (own) return ERROR_SUCCESS;
  if (!IsAdministrator(caller.account)) return ERROR_ACCESS_DENIED;
  // As SYSTEM's processes grant administrators: query and read, not ending, unless they debug.
  const bool debugging =
      std::find(caller.privileges.begin(), caller.privileges.end(), "SeDebugPrivilege") != caller.privileges.end();
  if ((desired_access & PROCESS_TERMINATE) != 0 && IsSystem(target.account) && !debugging) {
    return ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

void AddChild(pid_t host_pid) {
  Children& children = Started();
  const std::lock_guard<std::mutex> lock(children.mutex);
  children.running.insert(host_pid);
}

void ReapEndedChildren() {
  Children& children = Started();
  const std::lock_guard<std::mutex> lock(children.mutex);
  for (auto child = children.running.begin(); child != children.running.end();) {
    child = ::waitpid(*child, nullptr, WNOHANG) == 0 ? std::next(child) : children.running.erase(child);
  }
}

DWORD ProcessObject::Wait(DWORD timeout_ms) {
  if ((access_ & SYNCHRONIZE) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return WAIT_FAILED;
  }
  if (!machine::WaitForProcessEnd(pid_, timeout_ms)) return WAIT_TIMEOUT;
  ReapEndedChildren();
  return WAIT_OBJECT_0;
}

DWORD ProcessObject::OnClose() {
  if (host_child_ != 0) ReapEndedChildren();
  return 0;
}

}  // namespace xp::kernel32

namespace xp {

DWORD ResolveProcessHandle(HANDLE process, DWORD required_access, uint32_t* pid) {
  if (process == kernel32::kCurrentProcess) {
    *pid = machine::CurrentProcessId();
    return ERROR_SUCCESS;
  }
  const auto object = std::dynamic_pointer_cast<kernel32::ProcessObject>(LookupHandle(process));
  if (!object) return ERROR_INVALID_HANDLE;
  if ((object->access() & required_access) != required_access) return ERROR_ACCESS_DENIED;
  *pid = object->pid();
  return ERROR_SUCCESS;
}

}  // namespace xp

// Exported by kernel32.
extern "C" HANDLE GetCurrentProcess(void) { return xp::kernel32::kCurrentProcess; }

// Exported by kernel32.
extern "C" DWORD GetCurrentProcessId(void) { return xp::machine::CurrentProcessId(); }

// Exported by kernel32. exit() runs the libraries' detach code, as ExitProcess does, and its exit hook records the
// full code in the process table.
extern "C" void ExitProcess(UINT exit_code) {
  if (xp::machine::Present()) xp::machine::RegisterCurrentProcess();
  std::exit(static_cast<int>(exit_code));
}

// Exported by kernel32.
extern "C" HANDLE OpenProcess(DWORD desired_access, BOOL inherit_handle, DWORD process_id) {
  if ((desired_access & ~xp::kernel32::kOpenableRights) != 0 || inherit_handle) {
    XP_FIXME("OpenProcess",
             "only PROCESS_TERMINATE, PROCESS_VM_READ, PROCESS_QUERY_INFORMATION and SYNCHRONIZE, "
             "without inheritance, are implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("OpenProcess")) {
    SetLastError(*error);
    return nullptr;
  }
  if (process_id == xp::machine::kIdleProcessId || process_id == xp::machine::kSystemProcessId) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const std::optional<xp::machine::ProcessRecord> target = xp::machine::FindProcess(process_id);
  if (!target || !target->live) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (const DWORD error = xp::kernel32::ProcessAccess(*target, desired_access)) {
    SetLastError(error);
    return nullptr;
  }
  return xp::InsertHandle(std::make_shared<xp::kernel32::ProcessObject>(process_id, desired_access, 0));
}

// Exported by kernel32. Only a process launched inside the machine is ever signalled.
extern "C" BOOL TerminateProcess(HANDLE process, UINT exit_code) {
  uint32_t pid = 0;
  if (const DWORD error = xp::ResolveProcessHandle(process, PROCESS_TERMINATE, &pid); error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("TerminateProcess")) {
    SetLastError(*error);
    return FALSE;
  }
  if (pid == xp::machine::CurrentProcessId()) xp::machine::TerminateCurrentProcess(exit_code);
  if (xp::machine::TerminateMachineProcess(pid, exit_code) != xp::machine::TerminateOutcome::kTerminated) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

// Exported by kernel32.
extern "C" BOOL GetExitCodeProcess(HANDLE process, LPDWORD exit_code) {
  uint32_t pid = 0;
  if (const DWORD error = xp::ResolveProcessHandle(process, PROCESS_QUERY_INFORMATION, &pid); error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  const std::optional<xp::machine::ProcessRecord> record = xp::machine::FindProcess(pid);
  if (exit_code == nullptr || !record) {
    SetLastError(exit_code == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exit_code = record->ExitCodeOrStillActive();
  return TRUE;
}
