// The library's entry point: it says when it is loaded and unloaded, and keeps no state of its own.
#include <cstdio>

#include "windows.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      std::printf("tokenio.dll loading..  ");
      std::printf("[%s %s]\n", __DATE__, __TIME__);
      break;
    case DLL_PROCESS_DETACH:
      std::printf("tokenio.dll unloading\n");
      std::fflush(stdout);
      break;
    default:
      std::printf("tokenio.dll doing something unprecedented\n");
      break;
  }
  return TRUE;
}
