// Binding a DLL's function by name at its first call: the library is loaded along the standard search and stays
// loaded; a file that is not there and a function that is not in it raise different errors, as the programs tell
// them apart.
#include <string>

#include "forms_private.h"

void* BindDllFunction(const char* library, const char* function) {
  const HMODULE module = LoadLibraryA(library);
  const std::u16string name = TextOfAnsi(library);
  if (module == nullptr) {
    if (GetLastError() == ERROR_MOD_NOT_FOUND) Err.Raise(kErrFileNotFound, name, u"File not found: " + name);
    Err.Raise(kErrDllLoad, name, u"Error in loading DLL: " + name);
  }
  void* const address = reinterpret_cast<void*>(GetProcAddress(module, function));
  if (address == nullptr) {
    Err.Raise(kErrEntryPointNotFound, name,
              u"Can't find DLL entry point " + TextOfAnsi(function) + u" in " + name);
  }
  return address;
}
