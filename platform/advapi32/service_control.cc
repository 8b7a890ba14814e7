// Running drivers through the service manager: StartServiceA loads the driver into the kernel the caller reaches,
// ControlService stops it (or asks whether it runs), QueryServiceStatus reports it.
#include "ddk/ntstatus.h"
#include "services_private.h"
#include "xp/driver_services.h"

namespace xp::advapi32 {
namespace {

// The service handle with `needed`, else the last error set.
bool Service(SC_HANDLE service, DWORD needed, ScHandle* entry) {
  if (!LookupScHandle(service, ScHandle::Kind::kService, entry)) return false;
  if ((entry->access & needed) != needed) return FailWith(ERROR_ACCESS_DENIED);
  return true;
}

SERVICE_STATUS StatusOf(DWORD type, bool running) {
  SERVICE_STATUS status{};
  status.dwServiceType = type;
  status.dwCurrentState = running ? SERVICE_RUNNING : SERVICE_STOPPED;
  status.dwControlsAccepted = running ? SERVICE_ACCEPT_STOP : 0;
  return status;
}

}  // namespace
}  // namespace xp::advapi32

using namespace xp::advapi32;

extern "C" {

// Exported by advapi32. Drivers take no arguments; any given are ignored, as on XP.
BOOL StartServiceA(SC_HANDLE service, DWORD, LPCSTR*) {
  ScHandle entry;
  if (!Service(service, SERVICE_START, &entry)) return FALSE;
  const std::optional<ServiceConfig> config = FindService(entry.name);
  if (!config || config->marked_for_delete) return FailWith(ERROR_SERVICE_MARKED_FOR_DELETE);
  if (config->start == SERVICE_DISABLED) return FailWith(ERROR_SERVICE_DISABLED);
  const LONG status = xp::kernel32::LoadDriverService(config->name);
  if (status == STATUS_IMAGE_ALREADY_LOADED) return FailWith(ERROR_SERVICE_ALREADY_RUNNING);
  if (status != STATUS_SUCCESS) return FailWith(xp::kernel32::Win32ErrorFromStatus(status));
  return TRUE;
}

// Exported by advapi32. Drivers accept stop and interrogate; other controls are not theirs.
BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
  if (status == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  ScHandle entry;
  if (!LookupScHandle(service, ScHandle::Kind::kService, &entry)) return FALSE;
  if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_INTERROGATE) {
    return FailWith(ERROR_INVALID_SERVICE_CONTROL);
  }
  if (!Service(service, control == SERVICE_CONTROL_STOP ? SERVICE_STOP : SERVICE_INTERROGATE, &entry)) return FALSE;
  const bool running = xp::kernel32::DriverServiceRunning(entry.name);
  *status = StatusOf(entry.type, running);
  if (!running) return FailWith(ERROR_SERVICE_NOT_ACTIVE);
  if (control == SERVICE_CONTROL_INTERROGATE) return TRUE;
  const LONG unloaded = xp::kernel32::UnloadDriverService(entry.name);
  if (unloaded == STATUS_INVALID_DEVICE_REQUEST) return FailWith(ERROR_INVALID_SERVICE_CONTROL);
  if (unloaded != STATUS_SUCCESS) return FailWith(xp::kernel32::Win32ErrorFromStatus(unloaded));
  *status = StatusOf(entry.type, false);
  if (const std::optional<ServiceConfig> config = FindService(entry.name)) SweepIfDeleted(*config);
  return TRUE;
}

// Exported by advapi32.
BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
  if (status == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  ScHandle entry;
  if (!Service(service, SERVICE_QUERY_STATUS, &entry)) return FALSE;
  *status = StatusOf(entry.type, xp::kernel32::DriverServiceRunning(entry.name));
  return TRUE;
}

}  // extern "C"
