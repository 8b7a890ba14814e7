// LoadLibraryA, GetProcAddress, FreeLibrary and GetModuleHandleA over dlopen. A DLL on the machine's drives is loaded
// from there, as XP loads it: a full Windows path names its file; a bare name is looked for in the program's folder,
// then in system32 and the Windows folder. Otherwise "tokenio.dll" (any case) is libtokenio.so of the build, looked for
// beside the program first, then beside the stand-ins' own libraries (the build's bin folder, where the deliverables
// lie while test programs lie in bin/tests), then along the usual library search. A Windows DLL that a stand-in plays
// ("Kernel32.DLL", "PSAPI.DLL") is that stand-in's library, libxp_kernel32.so, found the same way. LoadLibraryA,
// GetProcAddress and GetModuleHandleA are fault points of the machine, on the DLL's or the entry point's name.
#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "file_layer.h"
#include "kernel32_private.h"
#include "xp/debug.h"
#include "xp/drive_paths.h"
#include "xp/faults.h"
#include "xp/loader.h"
#include "xp/machine.h"
#include "xp/processes.h"

XP_DEBUG_CHANNEL(kernel32);

namespace xp::kernel32 {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// "C:\WINDOWS\system32\TokenIO.DLL" -> "libtokenio.so"; a name without extension means ".dll", as on XP.
std::optional<std::string> SharedObjectName(const std::string& file_name) {
  const size_t slash = file_name.find_last_of("\\/");
  std::string base = Lower(slash == std::string::npos ? file_name : file_name.substr(slash + 1));
  if (base.size() > 4 && base.ends_with(".dll")) base.resize(base.size() - 4);
  if (base.empty() || base.find('.') != std::string::npos) return std::nullopt;
  return "lib" + base + ".so";
}

// The machine's copy of the DLL, when the machine has one: installing copies the deliverables onto the drives under
// their Windows names, and that very file is what a program of the machine loads.
std::optional<fs::path> MachineCopy(const std::string& file_name) {
  if (!machine::Present()) return std::nullopt;
  std::string name = file_name;
  if (Lower(name).find(".dll") == std::string::npos && name.find('.') == std::string::npos) name += ".dll";
  std::vector<std::string> candidates;
  if (name.size() > 2 && name[1] == ':') {
    candidates.push_back(name);
  } else if (name.find_first_of("\\/") == std::string::npos) {
    const std::string image = machine::CurrentProcess().image;
    const size_t folder_end = image.find_last_of('\\');
    if (image.size() > 2 && image[1] == ':' && folder_end != std::string::npos) {
      candidates.push_back(image.substr(0, folder_end + 1) + name);
    }
    candidates.push_back("C:\\WINDOWS\\system32\\" + name);
    candidates.push_back("C:\\WINDOWS\\" + name);
  }
  for (const std::string& candidate : candidates) {
    machine::FoundPath found;
    std::error_code error;
    if (machine::FindOnDrives(candidate, &found) == machine::PathLookup::kFound &&
        fs::is_regular_file(found.host, error)) {
      WriteImageBack(found.windows);
      return found.host;
    }
  }
  return std::nullopt;
}

fs::path ProgramFolder() {
  std::error_code error;
  return fs::read_symlink("/proc/self/exe", error).parent_path();
}

// The folder of this library. Found by its own address, not by the loader's search path: a dlopen through an
// interceptor (the sanitizers') searches as if called from elsewhere.
fs::path PlatformFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<const void*>(&PlatformFolder), &info) == 0 || info.dli_fname == nullptr) return {};
  return fs::path(info.dli_fname).parent_path();
}

// The build's file of a library by its Linux name: beside the program, else beside the stand-ins, else the bare
// name for the usual search.
std::string BuiltLibrary(const std::string& name) {
  for (const fs::path& folder : {ProgramFolder(), PlatformFolder()}) {
    std::error_code error;
    if (!folder.empty() && fs::exists(folder / name, error)) return (folder / name).string();
  }
  return name;
}

// A missing library or a missing dependency is "module not found", as on XP; an unresolved import is "procedure
// not found"; anything else is a bad image.
DWORD ErrorOfFailedLoad(const std::string& message) {
  if (message.find("No such file or directory") != std::string::npos) return ERROR_MOD_NOT_FOUND;
  if (message.find("undefined symbol") != std::string::npos) return ERROR_PROC_NOT_FOUND;
  return ERROR_BAD_EXE_FORMAT;
}

// How often LoadLibraryA returned each module and FreeLibrary has not yet given it back; and the modules
// GetModuleHandleA found loaded (by the program's own imports, say), which stay for the life of the process.
struct LoadedModules {
  std::mutex lock;
  std::map<HMODULE, int> references;
  std::set<HMODULE> resident;
};

LoadedModules& Loaded() {
  static LoadedModules* const loaded = new LoadedModules;
  return *loaded;
}

}  // namespace

bool IsLoadedModule(HMODULE module) {
  {
    LoadedModules& loaded = Loaded();
    const std::lock_guard<std::mutex> lock(loaded.lock);
    if (loaded.references.count(module) != 0 || loaded.resident.count(module) != 0) return true;
  }
  return IsRegisteredModule(module);
}

namespace {

// The files LoadLibraryA would look at for a DLL that is not the machine's own copy: the build's library of that
// name, then the stand-in's, each beside the program, beside the stand-ins or along the library search.
std::vector<std::string> BuildCandidates(const std::string& so_name) {
  return {BuiltLibrary(so_name), BuiltLibrary("libxp_" + so_name.substr(3))};
}

// The module already loaded under one of the names LoadLibraryA would load, or nullptr.
HMODULE LoadedModule(const std::string& file_name, const std::string& so_name) {
  std::vector<std::string> candidates;
  if (const auto copy = MachineCopy(file_name)) candidates.push_back(copy->string());
  for (const std::string& candidate : BuildCandidates(so_name)) {
    candidates.push_back(candidate);
    candidates.push_back(std::filesystem::path(candidate).filename().string());
  }
  for (const std::string& candidate : candidates) {
    if (void* const module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      ::dlclose(module);  // RTLD_NOLOAD counted a reference; the module stays loaded
      return module;
    }
  }
  return nullptr;
}

}  // namespace
}  // namespace xp::kernel32

// Exported by kernel32.
extern "C" HMODULE LoadLibraryA(LPCSTR file_name) {
  if (file_name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("LoadLibraryA", file_name)) {
    SetLastError(*error);
    return nullptr;
  }
  const std::optional<std::string> so_name = xp::kernel32::SharedObjectName(file_name);
  if (!so_name) {
    XP_FIXME("LoadLibraryA", "only DLLs can be loaded: %s", file_name);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("LoadLibraryA", file_name)) {
    SetLastError(*error);
    return nullptr;
  }
  xp::kernel32::SetLoadingLibrary(true);
  HMODULE module = nullptr;
  const char* message = nullptr;
  if (const auto copy = xp::kernel32::MachineCopy(file_name)) {
    module = ::dlopen(copy->c_str(), RTLD_NOW | RTLD_LOCAL);
    message = module == nullptr ? ::dlerror() : nullptr;
  } else {
    for (const std::string& target : xp::kernel32::BuildCandidates(*so_name)) {
      module = ::dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
      message = module == nullptr ? ::dlerror() : nullptr;
      const bool missing = module == nullptr && xp::kernel32::ErrorOfFailedLoad(message) == ERROR_MOD_NOT_FOUND;
      if (!missing) break;
    }
  }
  const bool init_failed = xp::kernel32::TakeFailedDllInit();
  xp::kernel32::SetLoadingLibrary(false);

  if (module == nullptr) {
    const DWORD code = xp::kernel32::ErrorOfFailedLoad(message != nullptr ? message : "");
    if (code != ERROR_MOD_NOT_FOUND) XP_WARN("LoadLibraryA", "%s", message);
    SetLastError(code);
    return nullptr;
  }
  if (init_failed) {
    // As on XP: the entry hears DLL_PROCESS_DETACH and the library is unloaded again.
    xp::UnregisterDllEntry(module);
    ::dlclose(module);
    SetLastError(ERROR_DLL_INIT_FAILED);
    return nullptr;
  }
  xp::kernel32::LoadedModules& loaded = xp::kernel32::Loaded();
  const std::lock_guard<std::mutex> lock(loaded.lock);
  ++loaded.references[module];
  return module;
}

// Exported by kernel32.
extern "C" FARPROC GetProcAddress(HMODULE module, LPCSTR proc_name) {
  if (reinterpret_cast<uintptr_t>(proc_name) <= 0xFFFF) {
    XP_FIXME("GetProcAddress", "lookup by ordinal is not implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (module == nullptr) {
    XP_FIXME("GetProcAddress", "lookup in the program itself is not implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (!xp::kernel32::IsLoadedModule(module)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("GetProcAddress", proc_name)) {
    SetLastError(*error);
    return nullptr;
  }
  void* const symbol = ::dlsym(module, proc_name);
  if (symbol == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

// Exported by kernel32.
extern "C" BOOL FreeLibrary(HMODULE module) {
  xp::kernel32::LoadedModules& loaded = xp::kernel32::Loaded();
  {
    const std::lock_guard<std::mutex> lock(loaded.lock);
    const auto found = loaded.references.find(module);
    if (found == loaded.references.end()) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return FALSE;
    }
    if (--found->second == 0) loaded.references.erase(found);
  }
  ::dlclose(module);  // the last reference runs the library's destructor: DLL_PROCESS_DETACH
  return TRUE;
}

// Exported by kernel32.
extern "C" HMODULE GetModuleHandleA(LPCSTR module_name) {
  if (const std::optional<uint32_t> error =
          xp::machine::FailPoint("GetModuleHandleA", module_name != nullptr ? module_name : "")) {
    SetLastError(*error);
    return nullptr;
  }
  if (module_name == nullptr) {
    XP_FIXME("GetModuleHandleA", "the program's own module is not implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  const std::optional<std::string> so_name = xp::kernel32::SharedObjectName(module_name);
  const HMODULE module = so_name ? xp::kernel32::LoadedModule(module_name, *so_name) : nullptr;
  if (module == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  xp::kernel32::LoadedModules& loaded = xp::kernel32::Loaded();
  const std::lock_guard<std::mutex> lock(loaded.lock);
  loaded.resident.insert(module);
  return module;
}
