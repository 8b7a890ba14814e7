// Walking the process list (Toolhelp, looked up by name at run time) and the walker's callback that ends the
// processes of ordinary accounts before files are encrypted or decrypted. Which account a process runs as is
// decided by its SID: SYSTEM, LOCAL SERVICE and NETWORK SERVICE host the system's services and are never ended.
#include <cstdlib>

#include "setupcore_private.h"
#include "tlhelp32.h"

namespace tavik::setupcore {
namespace {

typedef HANDLE(WINAPI* SnapshotFunction)(DWORD, DWORD);
typedef BOOL(WINAPI* ProcessWalkFunction)(HANDLE, LPPROCESSENTRY32);

// 1 the system may be walked, 0 it cannot; Windows NT 4 ends the process.
bool SupportedSystem() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) return false;
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    if (version.dwMajorVersion == 4) {
      ShowMessage("Quillmarsh Tavik does not support NT 4.0.");
      ExitProcess(1);
    }
    return version.dwMajorVersion > 4;
  }
  return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// An export looked up by name, as the function type the caller knows it by.
template <typename Function>
Function Bind(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool Walk(HMODULE kernel, ProcEnumCallback callback, long param) {
  auto snapshot_function = Bind<SnapshotFunction>(kernel, "CreateToolhelp32Snapshot");
  auto first = Bind<ProcessWalkFunction>(kernel, "Process32First");
  auto next = Bind<ProcessWalkFunction>(kernel, "Process32Next");
  if (snapshot_function == nullptr || first == nullptr || next == nullptr) {
    ShowMessage("Get process address error", MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  HANDLE snapshot = snapshot_function(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = first(snapshot, &entry); more; more = next(snapshot, &entry)) {
    if (callback(entry.th32ProcessID, 0, entry.szExeFile, param) == 0) break;
  }
  CloseHandle(snapshot);
  return true;
}

// The accounts the system's own services run as: S-1-5-18, S-1-5-19 and S-1-5-20.
bool IsServiceAccount(PSID user) {
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  for (DWORD rid : {SECURITY_LOCAL_SYSTEM_RID, SECURITY_LOCAL_SERVICE_RID, SECURITY_NETWORK_SERVICE_RID}) {
    PSID service = nullptr;
    if (!AllocateAndInitializeSid(&nt_authority, 1, rid, 0, 0, 0, 0, 0, 0, 0, &service)) return true;
    const bool same = EqualSid(user, service);
    FreeSid(service);
    if (same) return true;
  }
  return false;
}

enum class Verdict { kEnd, kSpare, kStopWalk };

// Whether the process behind `token` may be ended; a process whose account cannot be read is spared, and no
// memory for the account stops the walk.
Verdict Judge(HANDLE token) {
  DWORD size = 0;
  if (GetTokenInformation(token, TokenUser, nullptr, 0, &size) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return Verdict::kSpare;
  }
  auto* user = static_cast<TOKEN_USER*>(std::malloc(size));
  if (user == nullptr) return Verdict::kStopWalk;
  Verdict verdict = Verdict::kSpare;
  if (GetTokenInformation(token, TokenUser, user, size, &size) && !IsServiceAccount(user->User.Sid)) {
    verdict = Verdict::kEnd;
  }
  std::free(user);
  return verdict;
}

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore.
int WINAPI EnumProcs(ProcEnumCallback callback, long param) {
  using tavik::setupcore::ShowMessage;
  if (!tavik::setupcore::SupportedSystem()) return 0;
  HMODULE kernel = LoadLibraryA("Kernel32.DLL");
  if (kernel == nullptr) {
    ShowMessage("Load Kernel32.DLL error", MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  const bool walked = tavik::setupcore::Walk(kernel, callback, param);
  FreeLibrary(kernel);
  return walked ? 1 : 0;
}

// Exported by setupcore. Ends (exit code 1) every process of an ordinary account except the caller.
int WINAPI MyProcessEnumerator(unsigned long pid, unsigned short, const char*, long) {
  using tavik::setupcore::Verdict;
  HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return 1;
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) {
    CloseHandle(process);
    return 1;
  }
  const Verdict verdict = tavik::setupcore::Judge(token);
  if (verdict == Verdict::kEnd && pid != GetCurrentProcessId()) TerminateProcess(process, 1);
  CloseHandle(token);
  CloseHandle(process);
  return verdict == Verdict::kStopWalk ? 0 : 1;
}
