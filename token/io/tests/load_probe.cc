// Loads the token library by its Windows name, starts and ends one thread, and unloads it: the library's own
// lines are all this program prints.
#include "windows.h"

namespace {

DWORD Idle(LPVOID) { return 0; }

}  // namespace

int main() {
  HMODULE library = LoadLibraryA("tokenio.dll");
  if (library == nullptr) return 2;
  if (GetProcAddress(library, "vbGetESN") == nullptr) return 3;
  HANDLE thread = CreateThread(nullptr, 0, Idle, nullptr, 0, nullptr);
  if (thread == nullptr || WaitForSingleObject(thread, INFINITE) != WAIT_OBJECT_0) return 4;
  CloseHandle(thread);
  return FreeLibrary(library) ? 0 : 5;
}
