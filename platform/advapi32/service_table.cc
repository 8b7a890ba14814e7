// The service table in the registry: reading and writing a service's key, removing it, and the delete mark XP
// leaves on a service deleted while it runs.
#include <vector>

#include "services_private.h"
#include "xp/driver_services.h"

namespace xp::advapi32 {
namespace {

constexpr char16_t kServicesPath[] = u"SYSTEM\\CurrentControlSet\\Services";

std::vector<uint8_t> DwordData(DWORD value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

// UTF-16LE with its NUL, as RegSetValueExW stores a string.
std::vector<uint8_t> TextData(const std::u16string& text) {
  std::vector<uint8_t> data;
  for (char16_t c : text) {
    data.push_back(static_cast<uint8_t>(c));
    data.push_back(static_cast<uint8_t>(c >> 8));
  }
  data.insert(data.end(), {0, 0});
  return data;
}

std::optional<DWORD> ReadDword(registry::KeyId key, std::u16string_view name) {
  registry::Value value;
  if (registry::QueryValue(key, name, &value) != ERROR_SUCCESS || value.type != REG_DWORD || value.data.size() != 4) {
    return std::nullopt;
  }
  return value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) | (DWORD{value.data[3]} << 24);
}

std::u16string ReadText(registry::KeyId key, std::u16string_view name) {
  registry::Value value;
  if (registry::QueryValue(key, name, &value) != ERROR_SUCCESS || !registry::IsStringType(value.type)) return u"";
  std::u16string text;
  for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
    text += static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
  }
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

LONG OpenServices(registry::KeyId* services) {
  return registry::CreateKey(registry::kMachineKey, kServicesPath, services, nullptr);
}

LONG RemoveTree(registry::KeyId key) {
  std::u16string child;
  while (registry::EnumKey(key, 0, &child) == ERROR_SUCCESS) {
    registry::KeyId child_key = 0;
    LONG result = registry::OpenKey(key, child, &child_key);
    if (result == ERROR_SUCCESS) result = RemoveTree(child_key);
    if (result != ERROR_SUCCESS) return result;
  }
  return registry::DeleteKey(key, u"");
}

}  // namespace

std::optional<ServiceConfig> FindService(const std::u16string& name) {
  registry::KeyId services = 0;
  registry::KeyId key = 0;
  if (name.empty() || name.find(u'\\') != std::u16string::npos || OpenServices(&services) != ERROR_SUCCESS ||
      registry::OpenKey(services, name, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const std::optional<DWORD> type = ReadDword(key, u"Type");
  if (!type) return std::nullopt;
  ServiceConfig config;
  std::u16string path;
  config.name = registry::KeyPath(key, &path) == ERROR_SUCCESS ? path.substr(path.rfind(u'\\') + 1) : name;
  config.type = *type;
  config.start = ReadDword(key, u"Start").value_or(SERVICE_DEMAND_START);
  config.error_control = ReadDword(key, u"ErrorControl").value_or(SERVICE_ERROR_NORMAL);
  config.image_path = ReadText(key, u"ImagePath");
  config.display_name = ReadText(key, u"DisplayName");
  config.marked_for_delete = ReadDword(key, u"DeleteFlag").value_or(0) != 0;
  return config;
}

LONG WriteService(const ServiceConfig& config) {
  registry::KeyId services = 0;
  registry::KeyId key = 0;
  LONG result = OpenServices(&services);
  if (result == ERROR_SUCCESS) result = registry::CreateKey(services, config.name, &key, nullptr);
  const std::pair<const char16_t*, std::vector<uint8_t>> dwords[] = {
      {u"Start", DwordData(config.start)}, {u"ErrorControl", DwordData(config.error_control)}};
  for (const auto& [name, data] : dwords) {
    if (result == ERROR_SUCCESS) result = registry::SetValue(key, name, REG_DWORD, data);
  }
  if (result == ERROR_SUCCESS) {
    result = registry::SetValue(key, u"ImagePath", REG_EXPAND_SZ, TextData(config.image_path));
  }
  if (result == ERROR_SUCCESS) result = registry::SetValue(key, u"DisplayName", REG_SZ, TextData(config.display_name));
  if (result == ERROR_SUCCESS) result = registry::SetValue(key, u"Type", REG_DWORD, DwordData(config.type));
  return result;
}

LONG RemoveService(const std::u16string& name) {
  registry::KeyId services = 0;
  registry::KeyId key = 0;
  LONG result = OpenServices(&services);
  if (result == ERROR_SUCCESS) result = registry::OpenKey(services, name, &key);
  return result == ERROR_SUCCESS ? RemoveTree(key) : result;
}

LONG MarkForDelete(const std::u16string& name) {
  registry::KeyId services = 0;
  registry::KeyId key = 0;
  LONG result = OpenServices(&services);
  if (result == ERROR_SUCCESS) result = registry::OpenKey(services, name, &key);
  return result == ERROR_SUCCESS ? registry::SetValue(key, u"DeleteFlag", REG_DWORD, DwordData(1)) : result;
}

bool SweepIfDeleted(const ServiceConfig& config) {
  if (!config.marked_for_delete || kernel32::DriverServiceRunning(config.name)) return false;
  return RemoveService(config.name) == ERROR_SUCCESS;
}

}  // namespace xp::advapi32
