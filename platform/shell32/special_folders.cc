// The user's documents folder through the shell's item lists: SHGetSpecialFolderLocation makes a one-item list
// holding the folder's path, SHGetPathFromIDListA reads it back, and the shell's allocator (SHGetMalloc) frees it.
#include <cstdlib>
#include <cstring>
#include <string>

#include "shlobj.h"
#include "windows.h"
#include "xp/accounts.h"

namespace {

constexpr IID kIidMalloc = {0x00000002, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The process's task allocator, as the shell hands it out: one object that is never freed.
class ShellMalloc final : public IMalloc {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, kIidMalloc)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = this;
    return S_OK;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  void* Alloc(SIZE_T size) override { return std::malloc(size); }
  void* Realloc(void* block, SIZE_T size) override { return std::realloc(block, size); }
  void Free(void* block) override { std::free(block); }
  SIZE_T GetSize(void*) override { return static_cast<SIZE_T>(-1); }
  int DidAlloc(void*) override { return -1; }
  void HeapMinimize() override {}
};

ShellMalloc& TheMalloc() {
  static ShellMalloc* const malloc = new ShellMalloc;
  return *malloc;
}

std::string DocumentsFolder() {
  HKEY key = nullptr;
  char data[MAX_PATH] = {};
  DWORD size = sizeof data - 1;
  DWORD type = 0;
  const bool found =
      RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_QUERY_VALUE, &key) == ERROR_SUCCESS &&
      RegQueryValueExA(key, "Personal", nullptr, &type, reinterpret_cast<LPBYTE>(data), &size) == ERROR_SUCCESS &&
      type == REG_SZ && data[0] != '\0';
  if (key != nullptr) RegCloseKey(key);
  if (found) return data;
  return "C:\\Documents and Settings\\" + xp::machine::CurrentAccountName() + "\\My Documents";
}

// Makes the folder and each missing one above it, as a first logon makes the profile.
void MakeFolders(const std::string& folder) {
  for (size_t at = folder.find('\\', 3); ; at = folder.find('\\', at + 1)) {
    CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    if (at == std::string::npos) break;
  }
}

}  // namespace

// Exported by shell32.
extern "C" HRESULT SHGetSpecialFolderLocation(HWND /*owner*/, int folder, LPITEMIDLIST* list) {
  if (list == nullptr) return E_INVALIDARG;
  *list = nullptr;
  if (folder != CSIDL_PERSONAL) {
    std::fprintf(stderr, "fixme:shell32:SHGetSpecialFolderLocation only CSIDL_PERSONAL (%d)\n", folder);
    return E_NOTIMPL;
  }
  const std::string path = DocumentsFolder();
  MakeFolders(path);
  const size_t item = sizeof(USHORT) + path.size() + 1;
  auto* bytes = static_cast<BYTE*>(TheMalloc().Alloc(item + sizeof(USHORT)));
  if (bytes == nullptr) return E_OUTOFMEMORY;
  const auto size = static_cast<USHORT>(item);
  std::memcpy(bytes, &size, sizeof size);
  std::memcpy(bytes + sizeof size, path.c_str(), path.size() + 1);
  std::memset(bytes + item, 0, sizeof(USHORT));
  *list = reinterpret_cast<LPITEMIDLIST>(bytes);
  return S_OK;
}

// Exported by shell32.
extern "C" BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path) {
  if (list == nullptr || path == nullptr) return FALSE;
  path[0] = '\0';
  USHORT size = 0;
  std::memcpy(&size, list, sizeof size);
  const auto* text = reinterpret_cast<const char*>(list) + sizeof size;
  if (size <= sizeof size + 1) return FALSE;
  const size_t length = ::strnlen(text, size - sizeof size);
  if (length == size - sizeof size || length >= MAX_PATH) return FALSE;
  std::memcpy(path, text, length + 1);
  return TRUE;
}

// Exported by shell32.
extern "C" HRESULT SHGetMalloc(LPMALLOC* malloc) {
  if (malloc == nullptr) return E_INVALIDARG;
  *malloc = &TheMalloc();
  return S_OK;
}
