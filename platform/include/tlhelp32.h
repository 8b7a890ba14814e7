// Toolhelp process snapshots over the machine's process table: a snapshot lists the processes live when it was
// taken, the idle process (pid 0, "[System Process]") and System (pid 4) first.
#pragma once

#include "windef.h"

extern "C" {

#define TH32CS_SNAPPROCESS 0x00000002u

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

// Only TH32CS_SNAPPROCESS; INVALID_HANDLE_VALUE on failure. Close with CloseHandle.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD process_id);
// dwSize must be sizeof(PROCESSENTRY32) (else ERROR_BAD_LENGTH); past the last entry FALSE, ERROR_NO_MORE_FILES.
BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry);
BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry);

}  // extern "C"
