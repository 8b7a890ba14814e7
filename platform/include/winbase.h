// Kernel32 base services the system calls: handles, last error, sleeping, mutexes, modules and devices.
#pragma once

#include <stdarg.h>

#include "ddk/io_codes.h"  // the generic rights and share modes, shared with kernel code
#include "windef.h"
#include "winnt.h"

extern "C" {

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_FAILED 0xFFFFFFFFu

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

DWORD GetLastError(void);
void SetLastError(DWORD code);
BOOL CloseHandle(HANDLE handle);
void Sleep(DWORD milliseconds);
DWORD GetTickCount(void);

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initial_owner, LPCSTR name);
BOOL ReleaseMutex(HANDLE mutex);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// Local memory: what a GINA hands Winlogon (the network-provider notice's strings) and Winlogon frees. Only fixed
// blocks (LMEM_FIXED, optionally LMEM_ZEROINIT); LocalFree returns NULL once freed.
typedef HANDLE HLOCAL;
#define LMEM_FIXED 0x0000u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL memory);

HMODULE LoadLibraryA(LPCSTR file_name);
FARPROC GetProcAddress(HMODULE module, LPCSTR proc_name);
BOOL FreeLibrary(HMODULE module);
// A module the process has loaded (NULL: the program), without a new reference; NULL, ERROR_MOD_NOT_FOUND, when it
// is not loaded.
HMODULE GetModuleHandleA(LPCSTR module_name);

// Message texts (XP's, in English, ending in CR LF): the system's, or those of the module `source` names
// (FORMAT_MESSAGE_FROM_HMODULE; with FORMAT_MESSAGE_FROM_SYSTEM too, the system's when the module has none). With
// FORMAT_MESSAGE_ALLOCATE_BUFFER, `buffer` receives a LocalAlloc'ed text (free it with LocalFree). No text for the
// code: 0, ERROR_MR_MID_NOT_FOUND.
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(primary, sub) ((((WORD)(sub)) << 10) | (WORD)(primary))
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD message_id, DWORD language_id, LPSTR buffer, DWORD size,
                     va_list* arguments);

// Threads. The only creation flag is CREATE_SUSPENDED: the thread waits until ResumeThread lets it run.
#define CREATE_SUSPENDED 0x00000004u
typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stack_size, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creation_flags, LPDWORD thread_id);
// The suspend count before the call (1 for a thread created suspended, which then runs), or (DWORD)-1.
DWORD ResumeThread(HANDLE thread);
// STILL_ACTIVE while the thread runs, then the value its routine returned.
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exit_code);
DWORD GetCurrentThreadId(void);
// The system's libraries tell the loader that they need no thread notices: TRUE for a module that has a DLL entry.
BOOL DisableThreadLibraryCalls(HMODULE module);

HANDLE CreateFileA(LPCSTR file_name, DWORD desired_access, DWORD share_mode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creation_disposition, DWORD flags_and_attributes, HANDLE template_file);
BOOL DeviceIoControl(HANDLE device, DWORD io_control_code, LPVOID in_buffer, DWORD in_size, LPVOID out_buffer,
                     DWORD out_size, LPDWORD bytes_returned, LPOVERLAPPED overlapped);

#define MAX_COMPUTERNAME_LENGTH 15
// *size: the buffer's capacity in, the name's length out; too small: ERROR_BUFFER_OVERFLOW, *size = length + 1.
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size);
BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size);

// win.ini, as XP keeps it: the section "Winlogon" is the string values of the registry key HKLM
// "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon", every other section the file C:\WINDOWS\win.ini
// ("[section]", "key=value" lines; names compare ignoring case). The value, or the default when it is missing, cut
// to size - 1 characters; returns the characters copied. GetProfileInt reads the leading decimal digits (the
// default when there are none).
DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR buffer, DWORD size);
DWORD GetProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR default_value, LPWSTR buffer, DWORD size);
UINT GetProfileIntA(LPCSTR section, LPCSTR key, INT default_value);
UINT GetProfileIntW(LPCWSTR section, LPCWSTR key, INT default_value);

// Text in the ANSI code page (1252, the only one: code_page CP_ACP) and in UTF-16. With a size of 0, the length
// needed (in characters or bytes, the NUL included when the input's length is -1); 0 with
// ERROR_INSUFFICIENT_BUFFER when the output is too small.
#define CP_ACP 0
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR out, int out_size);
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR text, int length, LPSTR out, int out_size,
                        LPCSTR default_char, LPBOOL used_default_char);
int lstrlenW(LPCWSTR text);
// Compares ignoring case (the Latin letters of code page 1252): <0, 0 or >0.
int lstrcmpiW(LPCWSTR first, LPCWSTR second);

// Processes. The process table is the machine's: only its processes are listed, opened or ended.
#define STILL_ACTIVE 259u
#define NORMAL_PRIORITY_CLASS 0x00000020u
#define CREATE_DEFAULT_ERROR_MODE 0x04000000u

typedef struct _STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
} STARTUPINFOA, *LPSTARTUPINFOA;

typedef struct _PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// GetCurrentProcess's pseudo handle ((HANDLE)-1) holds every right and needs no closing.
HANDLE GetCurrentProcess(void);
DWORD GetCurrentProcessId(void);
// Records the full 32-bit code in the process table, then ends the process as exit() does.
void ExitProcess(UINT exit_code);
// access: PROCESS_TERMINATE, PROCESS_VM_READ, PROCESS_QUERY_INFORMATION, SYNCHRONIZE. Pids 0 and 4 (the idle
// process and System) are refused with ERROR_ACCESS_DENIED; an ordinary account opens only its own processes, an
// administrator every process, but one of SYSTEM for PROCESS_TERMINATE only with SeDebugPrivilege enabled.
HANDLE OpenProcess(DWORD desired_access, BOOL inherit_handle, DWORD process_id);
BOOL TerminateProcess(HANDLE process, UINT exit_code);
// STILL_ACTIVE while the process runs.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exit_code);
// The program is a Windows path on the machine's drives (a bare name is looked for beside the caller's program,
// in C:\WINDOWS\system32 and in C:\WINDOWS). Flags: CREATE_DEFAULT_ERROR_MODE and NORMAL_PRIORITY_CLASS; no
// security attributes, environment block, folder or STARTUPINFO options.
BOOL CreateProcessA(LPCSTR application_name, LPSTR command_line, LPSECURITY_ATTRIBUTES process_attributes,
                    LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles, DWORD creation_flags,
                    LPVOID environment, LPCSTR current_directory, LPSTARTUPINFOA startup_info,
                    LPPROCESS_INFORMATION process_information);

// The system's version: Windows XP Service Pack 2 (5.1.2600, VER_PLATFORM_WIN32_NT). dwOSVersionInfoSize must be
// sizeof(OSVERSIONINFOA) or sizeof(OSVERSIONINFOEXA), else ERROR_INSUFFICIENT_BUFFER. A machine described as
// Windows 98 (4.10.1998) or Me (4.90.3000) reports VER_PLATFORM_WIN32_WINDOWS and knows only OSVERSIONINFOA; one
// described as Win32s reports VER_PLATFORM_WIN32s (3.10).
typedef struct _OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
} OSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
} OSVERSIONINFOEXA, *LPOSVERSIONINFOEXA;

typedef struct _OSVERSIONINFOEXW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
} OSVERSIONINFOEXW, *LPOSVERSIONINFOEXW;
typedef struct _OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
} OSVERSIONINFOW, *LPOSVERSIONINFOW;

BOOL GetVersionExA(LPOSVERSIONINFOA version_information);
// The same for sizeof(OSVERSIONINFOW) or sizeof(OSVERSIONINFOEXW). On a machine of the Home edition the
// extended form's wSuiteMask holds VER_SUITE_PERSONAL.
BOOL GetVersionExW(LPOSVERSIONINFOW version_information);
// "C:\WINDOWS" and "C:\WINDOWS\system32": the length without the NUL, or the size needed (with it) when `size`
// is too small.
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
// Recorded in the machine's journal as "debug <text>".
void OutputDebugStringA(LPCSTR text);

// The machine's clock as a date (its time zone is UTC, so local and system time agree).
typedef struct _SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

struct _FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
typedef struct _FILETIME FILETIME, *PFILETIME, *LPFILETIME;

void GetSystemTime(LPSYSTEMTIME system_time);
void GetLocalTime(LPSYSTEMTIME local_time);
// 100-nanosecond intervals since 1601-01-01 UTC.
void GetSystemTimeAsFileTime(LPFILETIME file_time);

// Access tokens and accounts (advapi32). A process's token is its account in the machine's process table.
BOOL OpenProcessToken(HANDLE process, DWORD desired_access, HANDLE* token);
// TokenUser and TokenGroups; a buffer too small (a size query with none) fails with ERROR_INSUFFICIENT_BUFFER and
// *return_length = the size needed.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS information_class, LPVOID information,
                         DWORD information_length, PDWORD return_length);
BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE sub_authority_count, DWORD sub_authority0,
                              DWORD sub_authority1, DWORD sub_authority2, DWORD sub_authority3,
                              DWORD sub_authority4, DWORD sub_authority5, DWORD sub_authority6,
                              DWORD sub_authority7, PSID* sid);
BOOL EqualSid(PSID sid1, PSID sid2);
BOOL IsValidSid(PSID sid);
DWORD GetLengthSid(PSID sid);
// FALSE with ERROR_INSUFFICIENT_BUFFER when the destination holds fewer than GetLengthSid(source) bytes.
BOOL CopySid(DWORD destination_length, PSID destination, PSID source);
// Returns NULL.
PVOID FreeSid(PSID sid);
// Sizes in characters: in, the buffers' capacity; out, the length without the NUL, or the size needed (with it)
// and ERROR_INSUFFICIENT_BUFFER. Only the local machine (system_name NULL) is looked up.
BOOL LookupAccountSidA(LPCSTR system_name, PSID sid, LPSTR name, LPDWORD name_size, LPSTR domain_name,
                       LPDWORD domain_size, PSID_NAME_USE use);
BOOL LookupPrivilegeValueA(LPCSTR system_name, LPCSTR name, PLUID luid);
// TRUE with GetLastError() ERROR_SUCCESS, or ERROR_NOT_ALL_ASSIGNED when the account does not hold a privilege.
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disable_all_privileges, PTOKEN_PRIVILEGES new_state,
                           DWORD buffer_length, PTOKEN_PRIVILEGES previous_state, PDWORD return_length);

// Logons (advapi32) against the machine's accounts: an interactive logon of an account of this computer (domain
// "." or the computer's name; names ignore case, passwords do not) gives a token of a new logon session, whose
// groups end with the session's logon SID. Refusals: ERROR_INVALID_PARAMETER for a blank user or domain,
// ERROR_NO_SUCH_DOMAIN, ERROR_LOGON_FAILURE (unknown user, wrong password, or the LAN agent's challenge was not
// answered for an account it watches), ERROR_ACCOUNT_DISABLED, ERROR_PASSWORD_MUST_CHANGE, and any other by the
// fault point "LogonUserW".
#define LOGON32_LOGON_INTERACTIVE 2
#define LOGON32_PROVIDER_DEFAULT 0
#define LOGON32_PROVIDER_WINNT50 3
BOOL LogonUserW(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logon_type, DWORD logon_provider,
                PHANDLE token);
// The calling thread acts as the token's account until RevertToSelf: HKEY_CURRENT_USER is that account's hive.
BOOL ImpersonateLoggedOnUser(HANDLE token);
BOOL RevertToSelf(void);

#define CREATE_UNICODE_ENVIRONMENT 0x00000400u
typedef struct _STARTUPINFOW {
  DWORD cb;
  LPWSTR lpReserved;
  LPWSTR lpDesktop;
  LPWSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;
// CreateProcessA's program and command line (Windows rules) started as the token's account. The desktop, the window
// title and the environment block have no counterpart on the machine: the desktop and title are journaled with the
// start. Flags: those of CreateProcessA and CREATE_UNICODE_ENVIRONMENT.
BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR application_name, LPWSTR command_line,
                          LPSECURITY_ATTRIBUTES process_attributes, LPSECURITY_ATTRIBUTES thread_attributes,
                          BOOL inherit_handles, DWORD creation_flags, LPVOID environment, LPCWSTR current_directory,
                          LPSTARTUPINFOW startup_info, LPPROCESS_INFORMATION process_information);

}  // extern "C"

// Zeroes memory even when the compiler sees no later read, for secrets (an inline function, as on Windows).
inline PVOID SecureZeroMemory(PVOID destination, SIZE_T length) {
  volatile BYTE* bytes = static_cast<volatile BYTE*>(destination);
  while (length-- > 0) *bytes++ = 0;
  return destination;
}

// Files, folders and volumes.
#include "fileapi.h"
