// Toolhelp snapshots over the machine's process table: a process snapshot lists the processes live when it was
// taken, the idle process (pid 0, "[System Process]") and System (pid 4) first; a module snapshot lists a process's
// modules, here its program alone (the idle process and System have none).
#pragma once

#include "windef.h"

extern "C" {

#define TH32CS_SNAPPROCESS 0x00000002u
#define TH32CS_SNAPMODULE 0x00000008u
#define MAX_MODULE_NAME32 255

typedef struct tagPROCESSENTRY32 {
  DWORD dwSize;
  DWORD cntUsage;
  DWORD th32ProcessID;
  ULONG_PTR th32DefaultHeapID;
  DWORD th32ModuleID;
  DWORD cntThreads;
  DWORD th32ParentProcessID;
  LONG pcPriClassBase;
  DWORD dwFlags;
  CHAR szExeFile[MAX_PATH];  // the program's file name: "diskseal.exe"
} PROCESSENTRY32, *LPPROCESSENTRY32;

typedef struct tagMODULEENTRY32 {
  DWORD dwSize;
  DWORD th32ModuleID;
  DWORD th32ProcessID;
  DWORD GlblcntUsage;
  DWORD ProccntUsage;
  BYTE* modBaseAddr;
  DWORD modBaseSize;
  HMODULE hModule;
  CHAR szModule[MAX_MODULE_NAME32 + 1];  // "diskseal.exe"
  CHAR szExePath[MAX_PATH];              // "C:\Program Files\Quillmarsh\Tavik\XP\diskseal.exe"
} MODULEENTRY32, *LPMODULEENTRY32;

// TH32CS_SNAPPROCESS (the process id is not read), or TH32CS_SNAPMODULE of one live process (which the caller must
// be allowed to read: else ERROR_ACCESS_DENIED; no such process: ERROR_INVALID_PARAMETER). INVALID_HANDLE_VALUE
// on failure. Close with CloseHandle.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD process_id);
// dwSize must be sizeof(PROCESSENTRY32) (else ERROR_BAD_LENGTH); past the last entry FALSE, ERROR_NO_MORE_FILES.
BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry);
BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry);
// dwSize must be sizeof(MODULEENTRY32); the same ends as above.
BOOL Module32First(HANDLE snapshot, LPMODULEENTRY32 entry);
BOOL Module32Next(HANDLE snapshot, LPMODULEENTRY32 entry);

}  // extern "C"
