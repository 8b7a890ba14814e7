// Starting a driver from its service key, as NtLoadDriver does: the key's Type says how the driver is named, its
// ImagePath which file of the machine's drives holds the module. Only files on the drives load: a path never
// leaves the machine folder (no "..", no symbolic links).
#include <filesystem>
#include <system_error>
#include <vector>

#include "include/internal/kernel_state.h"
#include "include/internal/rtl.h"
#include "xp/registry.h"

namespace xp::ntos {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kServicesKey[] = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\";
constexpr char16_t kSystemRoot[] = u"C:\\WINDOWS";
constexpr DWORD kKernelDriver = 1;      // SERVICE_KERNEL_DRIVER
constexpr DWORD kFileSystemDriver = 2;  // SERVICE_FILE_SYSTEM_DRIVER
constexpr DWORD kRegSz = 1;
constexpr DWORD kRegExpandSz = 2;
constexpr DWORD kRegDword = 4;

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && rtl::EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::u16string StoredText(const std::vector<uint8_t>& data) {
  std::u16string text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

// "X:\dir\file" for the forms an ImagePath takes; empty for other kernel names.
std::u16string DrivePath(std::u16string path) {
  if (StartsWithNoCase(path, u"%SystemRoot%")) return kSystemRoot + path.substr(12);
  if (StartsWithNoCase(path, u"\\SystemRoot\\")) return kSystemRoot + path.substr(11);
  if (StartsWithNoCase(path, u"\\??\\")) path = path.substr(4);
  if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') return path;
  if (path.empty() || path[0] == u'\\') return u"";
  return std::u16string(kSystemRoot) + u"\\" + path;
}

// The entry of `folder` named `name` ignoring case; symbolic links are never taken.
bool FindEntry(const fs::path& folder, std::u16string_view name, fs::path* found) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::u16string entry_name;
    if (!rtl::FromUtf8(entry.path().filename().string(), &entry_name) || !rtl::EqualNoCase(entry_name, name)) {
      continue;
    }
    if (entry.is_symlink(error)) return false;
    *found = entry.path();
    return true;
  }
  return false;
}

// The host file of a drive path on one of the kernel's drives.
NTSTATUS HostFile(const KernelState& state, const std::u16string& drive_path, fs::path* host) {
  const DiskVolume* disk = nullptr;
  for (const auto& candidate : state.disks) {
    if (rtl::Upcase(static_cast<char16_t>(candidate->letter)) == rtl::Upcase(drive_path[0])) disk = candidate.get();
  }
  if (disk == nullptr) return STATUS_OBJECT_NAME_NOT_FOUND;
  fs::path at = disk->root;
  size_t start = 3;
  while (start <= drive_path.size()) {
    size_t end = drive_path.find(u'\\', start);
    if (end == std::u16string::npos) end = drive_path.size();
    const std::u16string_view component = std::u16string_view(drive_path).substr(start, end - start);
    start = end + 1;
    if (component.empty()) continue;
    if (component == u"." || component == u"..") return STATUS_OBJECT_NAME_INVALID;
    if (!FindEntry(at, component, &at)) return STATUS_OBJECT_NAME_NOT_FOUND;
  }
  std::error_code error;
  if (!fs::is_regular_file(at, error)) return STATUS_OBJECT_NAME_NOT_FOUND;
  *host = at;
  return STATUS_SUCCESS;
}

// The service's key and its driver type; STATUS_OBJECT_NAME_NOT_FOUND without a key, STATUS_INVALID_PARAMETER
// for a key that does not describe a driver.
NTSTATUS DriverService(const std::u16string& service, registry::KeyId* key, DWORD* type_value) {
  if (service.empty() || service.find(u'\\') != std::u16string::npos ||
      registry::OpenPath(kServicesKey + service, key) != ERROR_SUCCESS) {
    return STATUS_OBJECT_NAME_NOT_FOUND;
  }
  registry::Value type;
  if (registry::QueryValue(*key, u"Type", &type) != ERROR_SUCCESS || type.type != kRegDword || type.data.size() != 4) {
    return STATUS_INVALID_PARAMETER;
  }
  *type_value = type.data[0] | (type.data[1] << 8) | (type.data[2] << 16) | (DWORD{type.data[3]} << 24);
  return *type_value == kKernelDriver || *type_value == kFileSystemDriver ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
}

}  // namespace

NTSTATUS Kernel::LoadService(const std::u16string& service) {
  registry::KeyId key = 0;
  DWORD type_value = 0;
  const NTSTATUS described = DriverService(service, &key, &type_value);
  if (!NT_SUCCESS(described)) return described;

  std::u16string image = u"System32\\drivers\\" + service + u".sys";
  registry::Value image_path;
  if (registry::QueryValue(key, u"ImagePath", &image_path) == ERROR_SUCCESS &&
      (image_path.type == kRegSz || image_path.type == kRegExpandSz)) {
    image = StoredText(image_path.data);
  }
  const std::u16string drive_path = DrivePath(image);
  if (drive_path.empty()) return STATUS_OBJECT_PATH_SYNTAX_BAD;
  fs::path host;
  const NTSTATUS found = HostFile(*state_, drive_path, &host);
  if (!NT_SUCCESS(found)) return found;
  // The driver is named by the key as the registry spells it, as the service manager does.
  std::u16string key_path;
  std::u16string name = service;
  if (registry::KeyPath(key, &key_path) == ERROR_SUCCESS) name = key_path.substr(key_path.rfind(u'\\') + 1);
  return LoadDriver(host, name, type_value == kFileSystemDriver ? DriverKind::kFileSystem : DriverKind::kDevice);
}

NTSTATUS Kernel::UnloadService(const std::u16string& service) {
  registry::KeyId key = 0;
  DWORD type_value = 0;
  if (!NT_SUCCESS(DriverService(service, &key, &type_value))) return STATUS_OBJECT_NAME_NOT_FOUND;
  return UnloadDriver(service);
}

}  // namespace xp::ntos
