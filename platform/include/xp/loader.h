// DLL entry points on Linux: a library's ELF constructor and destructor stand in for the loader's process attach and
// detach, and kernel32's CreateThread delivers thread attach and detach. Included by the system's libraries only
// through XP_DLL_ENTRY.
#pragma once

#include "windef.h"

namespace xp {

using DllEntry = BOOL (*)(HINSTANCE module, DWORD reason, LPVOID reserved);

// The module handle of the shared library that holds `address` (the same value LoadLibraryA returns for it).
HINSTANCE ModuleOf(const void* address);
// Registers a library's entry and calls it with DLL_PROCESS_ATTACH under the loader lock. An entry that returns
// FALSE fails the LoadLibraryA that loaded it (ERROR_DLL_INIT_FAILED), or ends a process that linked it.
void RegisterDllEntry(HINSTANCE module, DllEntry entry);
// Calls the entry with DLL_PROCESS_DETACH and forgets it.
void UnregisterDllEntry(HINSTANCE module);

}  // namespace xp

// Declares `entry` (BOOL entry(HINSTANCE, DWORD, LPVOID)) as this library's DllMain. Use once per library, at
// global scope in the file that defines the entry.
#define XP_DLL_ENTRY(entry)                                                                              \
  namespace {                                                                                            \
  __attribute__((constructor)) void XpDllProcessAttach() {                                               \
    ::xp::RegisterDllEntry(::xp::ModuleOf(reinterpret_cast<const void*>(&XpDllProcessAttach)), (entry)); \
  }                                                                                                      \
  __attribute__((destructor)) void XpDllProcessDetach() {                                                \
    ::xp::UnregisterDllEntry(::xp::ModuleOf(reinterpret_cast<const void*>(&XpDllProcessAttach)));        \
  }                                                                                                      \
  }                                                                                                      \
  static_assert(true, "")
