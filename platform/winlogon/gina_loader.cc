// Which GINA Winlogon runs: the DLL the Winlogon value "GinaDLL" names, bound by its entry points as Winlogon binds
// it. The system's own MSGINA.DLL is the stand-in LoadLibraryA gives for "msgina.dll"; any other GINA is the file a
// setup program put on the machine, loaded from there. Every call into the GINA is traced on the winlogon channel.
#include <dlfcn.h>
#include <strings.h>

#include <type_traits>
#include <vector>

#include "winlogon_private.h"
#include "xp/debug.h"
#include "xp/drive_paths.h"

XP_DEBUG_CHANNEL(winlogon);

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

constexpr char kNegotiate[] = "WlxNegotiate";
constexpr char kInitialize[] = "WlxInitialize";
constexpr char kDisplaySASNotice[] = "WlxDisplaySASNotice";
constexpr char kLoggedOutSAS[] = "WlxLoggedOutSAS";
constexpr char kActivateUserShell[] = "WlxActivateUserShell";
constexpr char kLoggedOnSAS[] = "WlxLoggedOnSAS";
constexpr char kDisplayLockedNotice[] = "WlxDisplayLockedNotice";
constexpr char kIsLockOk[] = "WlxIsLockOk";
constexpr char kWkstaLockedSAS[] = "WlxWkstaLockedSAS";
constexpr char kIsLogoffOk[] = "WlxIsLogoffOk";
constexpr char kLogoff[] = "WlxLogoff";
constexpr char kShutdown[] = "WlxShutdown";

// The GINA's own entry points. Winlogon calls traced stand-ins for them: one GINA per process, as the dispatch
// table serves one host.
Gina loaded;

template <auto kEntry, const char* kName>
struct Traced;

template <typename Result, typename... Args, Result (*Gina::*kEntry)(Args...), const char* kName>
struct Traced<kEntry, kName> {
  static Result Call(Args... args) {
    XP_TRACE(kName, "called by Winlogon");
    if constexpr (std::is_void_v<Result>) {
      (loaded.*kEntry)(args...);
      XP_TRACE(kName, "returned");
    } else {
      const Result result = (loaded.*kEntry)(args...);
      XP_TRACE(kName, "returned %ld", static_cast<long>(result));
      return result;
    }
  }
};

template <auto kEntry, const char* kName>
bool Bind(void* module, Gina* gina, std::string* error) {
  auto& entry = loaded.*kEntry;
  entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(::dlsym(module, kName));
  if (entry == nullptr) {
    *error = "it has no entry point " + std::string(kName);
    return false;
  }
  gina->*kEntry = &Traced<kEntry, kName>::Call;
  return true;
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
  return Bind<&Gina::Negotiate, kNegotiate>(module, gina, error) &&
         Bind<&Gina::Initialize, kInitialize>(module, gina, error) &&
         Bind<&Gina::DisplaySASNotice, kDisplaySASNotice>(module, gina, error) &&
         Bind<&Gina::LoggedOutSAS, kLoggedOutSAS>(module, gina, error) &&
         Bind<&Gina::ActivateUserShell, kActivateUserShell>(module, gina, error) &&
         Bind<&Gina::LoggedOnSAS, kLoggedOnSAS>(module, gina, error) &&
         Bind<&Gina::DisplayLockedNotice, kDisplayLockedNotice>(module, gina, error) &&
         Bind<&Gina::IsLockOk, kIsLockOk>(module, gina, error) &&
         Bind<&Gina::WkstaLockedSAS, kWkstaLockedSAS>(module, gina, error) &&
         Bind<&Gina::IsLogoffOk, kIsLogoffOk>(module, gina, error) && Bind<&Gina::Logoff, kLogoff>(module, gina, error) &&
         Bind<&Gina::Shutdown, kShutdown>(module, gina, error);
}

}  // namespace xp::winlogon
