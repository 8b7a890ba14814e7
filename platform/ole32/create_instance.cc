// CoCreateInstance over the machine's in-process servers: the server library that registers a class is loaded
// once (looked for beside this library first) and asked for the class's factory through DllGetClassObject.
#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "msxml2.h"
#include "ole32_private.h"
#include "xp/debug.h"
#include "xp/ole32.h"

XP_DEBUG_CHANNEL(ole32);

namespace xp::ole32 {
namespace {

struct InprocServer {
  CLSID clsid;
  const char* library;
};

// The classes registered on the machine and the stand-in libraries that serve them.
constexpr InprocServer kServers[] = {
    {CLSID_SAXXMLReader, "libxp_msxml3.so"},
};

std::mutex lock;
std::map<std::string, void*> loaded_servers;  // guarded by lock
int failures_left = 0;                        // guarded by lock
HRESULT failure = S_OK;                       // guarded by lock

const InprocServer* FindServer(REFCLSID clsid) {
  for (const InprocServer& server : kServers) {
    if (IsEqualGUID(server.clsid, clsid)) return &server;
  }
  return nullptr;
}

std::filesystem::path ThisLibraryFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&ThisLibraryFolder), &info) == 0 || info.dli_fname == nullptr) return {};
  return std::filesystem::path(info.dli_fname).parent_path();
}

// The server's DllGetClassObject, loading the server on first use; nullptr when it cannot be loaded.
LPFNGETCLASSOBJECT ClassObjectEntry(const InprocServer& server) {
  const std::lock_guard<std::mutex> guard(lock);
  void*& handle = loaded_servers[server.library];
  if (handle == nullptr) {
    const std::filesystem::path beside = ThisLibraryFolder() / server.library;
    handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) handle = dlopen(server.library, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      XP_ERR("CoCreateInstance", "cannot load %s: %s", server.library, dlerror());
      return nullptr;
    }
  }
  return reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(handle, "DllGetClassObject"));
}

bool TakeInjectedFailure(HRESULT* error) {
  const std::lock_guard<std::mutex> guard(lock);
  if (failures_left == 0) return false;
  --failures_left;
  *error = failure;
  return true;
}

}  // namespace

void FailCreateInstance(int times, HRESULT error) {
  const std::lock_guard<std::mutex> guard(lock);
  failures_left = times;
  failure = error;
}

}  // namespace xp::ole32

// Exported by ole32.
extern "C" HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!xp::ole32::ThreadInitialized()) return CO_E_NOTINITIALIZED;
  HRESULT injected;
  if (xp::ole32::TakeInjectedFailure(&injected)) return injected;
  const xp::ole32::InprocServer* server = xp::ole32::FindServer(clsid);
  if (server == nullptr || (context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  const LPFNGETCLASSOBJECT get_class_object = xp::ole32::ClassObjectEntry(*server);
  if (get_class_object == nullptr) return REGDB_E_CLASSNOTREG;
  IClassFactory* factory = nullptr;
  HRESULT hr = get_class_object(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, riid, object);
  factory->Release();
  return hr;
}
