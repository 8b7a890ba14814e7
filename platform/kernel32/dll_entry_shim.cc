// Compiled into every system library that has a DllMain (xp_dll's ENTRY option), so that system code defines its
// entry exactly as on Windows and never includes the loader's private header.
#include "windows.h"
#include "xp/loader.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

XP_DLL_ENTRY(DllMain);
