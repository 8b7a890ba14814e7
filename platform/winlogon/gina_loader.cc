// Which GINA Winlogon runs: the DLL the Winlogon value "GinaDLL" names, bound by its entry points as Winlogon binds
// it. The system's own MSGINA.DLL is the stand-in LoadLibraryA gives for "msgina.dll"; any other GINA is the file a
// setup program put on the machine, loaded from there.
#include <dlfcn.h>
#include <strings.h>

#include <vector>

#include "winlogon_private.h"
#include "xp/drive_paths.h"

namespace xp::winlogon {
namespace {

constexpr char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char kSystemFolder[] = "C:\\WINDOWS\\system32";
constexpr char kOwnGina[] = "msgina.dll";

// "GinaDLL", or the system's own when the value is missing, empty or not text.
std::string GinaName() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return kOwnGina;
  DWORD type = 0;
  DWORD size = 0;
  std::string name;
  if (RegQueryValueExA(key, "GinaDLL", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key, "GinaDLL", nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size) ==
        ERROR_SUCCESS) {
      name = data.data();
    }
  }
  RegCloseKey(key);
  return name.empty() ? kOwnGina : name;
}

template <typename Entry>
bool Bind(void* module, const char* name, Entry* entry, std::string* error) {
  *entry = reinterpret_cast<Entry>(::dlsym(module, name));
  if (*entry == nullptr) *error = "it has no entry point " + std::string(name);
  return *entry != nullptr;
}

void* LoadOtherGina(const std::string& name, std::string* error) {
  const std::string windows = name.find('\\') != std::string::npos ? name : std::string(kSystemFolder) + "\\" + name;
  machine::FoundPath found;
  if (machine::FindOnDrives(windows, &found) != machine::PathLookup::kFound) {
    *error = windows + " is not on the machine";
    return nullptr;
  }
  void* const module = ::dlopen(found.host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) *error = ::dlerror();
  return module;
}

}  // namespace

bool LoadGina(Gina* gina, std::string* error) {
  gina->name = GinaName();
  gina->is_msgina = ::strcasecmp(gina->name.c_str(), kOwnGina) == 0;
  void* module = nullptr;
  if (gina->is_msgina) {
    module = LoadLibraryA(kOwnGina);
    if (module == nullptr) *error = "LoadLibraryA failed with error " + std::to_string(GetLastError());
  } else {
    module = LoadOtherGina(gina->name, error);
  }
  if (module == nullptr) return false;
  return Bind(module, "WlxNegotiate", &gina->Negotiate, error) &&
         Bind(module, "WlxInitialize", &gina->Initialize, error) &&
         Bind(module, "WlxDisplaySASNotice", &gina->DisplaySASNotice, error) &&
         Bind(module, "WlxLoggedOutSAS", &gina->LoggedOutSAS, error) &&
         Bind(module, "WlxActivateUserShell", &gina->ActivateUserShell, error) &&
         Bind(module, "WlxLoggedOnSAS", &gina->LoggedOnSAS, error) &&
         Bind(module, "WlxDisplayLockedNotice", &gina->DisplayLockedNotice, error) &&
         Bind(module, "WlxIsLockOk", &gina->IsLockOk, error) &&
         Bind(module, "WlxWkstaLockedSAS", &gina->WkstaLockedSAS, error) &&
         Bind(module, "WlxIsLogoffOk", &gina->IsLogoffOk, error) && Bind(module, "WlxLogoff", &gina->Logoff, error) &&
         Bind(module, "WlxShutdown", &gina->Shutdown, error);
}

}  // namespace xp::winlogon
