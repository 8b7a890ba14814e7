// The process status calls, over the machine's process table. A process has one module here: its program.
#pragma once

#include "windef.h"

extern "C" {

// Fills up to cb / sizeof(DWORD) ids of live processes; *bytes_returned tells how many bytes were filled (a full
// array may mean more processes: call again with a larger one).
BOOL EnumProcesses(DWORD* process_ids, DWORD cb, LPDWORD bytes_returned);
// Needs PROCESS_QUERY_INFORMATION | PROCESS_VM_READ. The first (only) module is the program; *bytes_needed is the
// size of the whole list.
BOOL EnumProcessModules(HANDLE process, HMODULE* modules, DWORD cb, LPDWORD bytes_needed);
// The program's file name ("diskseal.exe"), cut to size - 1 characters; the number of characters copied, or 0.
DWORD GetModuleBaseNameA(HANDLE process, HMODULE module, LPSTR base_name, DWORD size);

}  // extern "C"
