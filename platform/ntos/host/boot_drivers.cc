// Boot-time driver start: the service table's drivers with a start type below demand start, in table order.
#include "boot_drivers.h"

#include <cstdio>
#include <string>

#include "xp/registry.h"

namespace xp::ntos::host {
namespace {

constexpr DWORD kRegDword = 4;
constexpr DWORD kLastBootTimeStart = 2;  // SERVICE_AUTO_START

bool StartsAtBoot(registry::KeyId services, const std::u16string& name) {
  registry::KeyId key = 0;
  registry::Value start;
  if (registry::OpenKey(services, name, &key) != ERROR_SUCCESS ||
      registry::QueryValue(key, u"Start", &start) != ERROR_SUCCESS || start.type != kRegDword ||
      start.data.size() != 4) {
    return false;
  }
  const DWORD value = start.data[0] | (start.data[1] << 8) | (start.data[2] << 16) | (DWORD{start.data[3]} << 24);
  return value <= kLastBootTimeStart;
}

}  // namespace

void StartBootDrivers(Kernel& kernel) {
  registry::KeyId services = 0;
  if (registry::OpenPath(u"\\Registry\\Machine\\System\\CurrentControlSet\\Services", &services) != ERROR_SUCCESS) {
    return;
  }
  std::u16string name;
  for (DWORD index = 0; registry::EnumKey(services, index, &name) == ERROR_SUCCESS; ++index) {
    if (!StartsAtBoot(services, name)) continue;
    const NTSTATUS status = kernel.LoadService(name);
    // Win32 services answer STATUS_INVALID_PARAMETER: they are not the kernel's to start.
    if (!NT_SUCCESS(status) && status != STATUS_INVALID_PARAMETER) {
      std::fprintf(stderr, "xp_ntoshost: driver %s did not start: 0x%08X\n", registry::Utf16ToUtf8(name).c_str(),
                   static_cast<unsigned>(status));
    }
  }
}

}  // namespace xp::ntos::host
