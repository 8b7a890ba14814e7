// The driver's entry point and unload, its default dispatch, and the small pieces every dispatch routine uses:
// telling the control device from filter devices, passing a request down, completing one, and counting the
// requests in flight so that unload waits for them.
#include "morvel_ioctl.h"
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

DriverState driver_state;

// How often unload looks again whether the requests in flight have finished (relative, 100 ns units).
constexpr LONGLONG kDrainPollInterval = -10 * 1000 * 10;  // 10 ms

UNICODE_STRING Counted(const char16_t* text) {
  UNICODE_STRING counted;
  RtlInitUnicodeString(&counted, text);
  return counted;
}

NTSTATUS DispatchDefault(PDEVICE_OBJECT device, PIRP irp) {
  RequestScope in_flight;
  if (IsControlDevice(device)) {
    if (IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_DEVICE_CONTROL) {
      return DispatchControlDeviceRequest(device, irp);
    }
    return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  }
  return PassThrough(device, irp);
}

// Takes back what DriverEntry made when a later step fails.
NTSTATUS UndoEntry(PDRIVER_OBJECT driver, NTSTATUS status, bool link_made) {
  if (driver->FastIoDispatch != nullptr) {
    ExFreePoolWithTag(driver->FastIoDispatch, kTagFastIo);
    driver->FastIoDispatch = nullptr;
  }
  if (link_made) {
    UNICODE_STRING link = Counted(kControlDeviceLink);
    IoDeleteSymbolicLink(&link);
  }
  if (State().control_device != nullptr) {
    IoDeleteDevice(State().control_device);
    State().control_device = nullptr;
  }
  FreeRuleLists();
  return status;
}

void WaitForRequestsInFlight() {
  LARGE_INTEGER interval;
  interval.QuadPart = kDrainPollInterval;
  // Logged so that a wait that does not end can be told from one that never began.
  const LONG running = InterlockedCompareExchange(&State().requests_in_flight, 0, 0);
  if (running != 0) DbgPrint("\nWaiting for %d requests in the driver", static_cast<int>(running));
  while (InterlockedCompareExchange(&State().requests_in_flight, 0, 0) != 0) {
    KeDelayExecutionThread(KernelMode, FALSE, &interval);
  }
}

// Detaches every filter device, waits until no request runs in the driver, then deletes the devices.
void RemoveAllDevices(PDRIVER_OBJECT driver) {
  for (;;) {
    ULONG count = 0;
    IoEnumerateDeviceObjectList(driver, nullptr, 0, &count);
    if (count == 0) return;
    const SIZE_T bytes = count * sizeof(PDEVICE_OBJECT);
    auto* devices = static_cast<PDEVICE_OBJECT*>(ExAllocatePoolWithTag(NonPagedPool, bytes, kTagList));
    if (devices == nullptr) return;
    if (!NT_SUCCESS(IoEnumerateDeviceObjectList(driver, devices, static_cast<ULONG>(bytes), &count))) {
      ExFreePoolWithTag(devices, kTagList);
      continue;
    }
    for (ULONG i = 0; i < count; ++i) {
      auto* extension = static_cast<FilterExtension*>(devices[i]->DeviceExtension);
      if (extension != nullptr && (extension->flags & kExtensionAttached) != 0) {
        IoDetachDevice(extension->lower);
        extension->flags &= ~kExtensionAttached;
      }
    }
    WaitForRequestsInFlight();
    for (ULONG i = 0; i < count; ++i) {
      auto* extension = static_cast<FilterExtension*>(devices[i]->DeviceExtension);
      if (extension != nullptr) {
        UnlinkExtension(extension);
      } else if (devices[i] == State().control_device) {
        State().control_device = nullptr;
      }
      IoDeleteDevice(devices[i]);
      ObDereferenceObject(devices[i]);
    }
    ExFreePoolWithTag(devices, kTagList);
  }
}

void DriverUnload(PDRIVER_OBJECT driver) {
  PAGED_CODE();
  UNICODE_STRING link = Counted(kControlDeviceLink);
  IoDeleteSymbolicLink(&link);
  IoUnregisterFsRegistrationChange(driver, FileSystemChanged);
  // Cached plaintext of protected files goes down encrypted while the filters and the key are still there.
  FlushMarkedStreams();
  RemoveAllDevices(driver);
  ReleaseAllMarks();
  WaitForRequestsInFlight();  // a stream freed meanwhile may still be in FreeMark
  FreeKey();
  FreeRuleLists();
  if (driver->FastIoDispatch != nullptr) {
    PFAST_IO_DISPATCH fast_io = driver->FastIoDispatch;
    driver->FastIoDispatch = nullptr;
    ExFreePoolWithTag(fast_io, kTagFastIo);
  }
  FreeStoredPaths();
}

void InitializeState() {
  DriverState& state = State();
  RtlZeroMemory(&state, sizeof state);
  state.control_device_free = 1;
  KeInitializeSpinLock(&state.control_open_lock);
  KeInitializeSpinLock(&state.rule_lock);
  ExInitializeFastMutex(&state.device_list_lock);
  ExInitializeFastMutex(&state.control_lock);
  ExInitializeFastMutex(&state.marks_lock);
  InitializeListHead(&state.device_list);
  InitializeListHead(&state.marks);
}

}  // namespace

DriverState& State() { return driver_state; }

RequestScope::RequestScope() { InterlockedIncrement(&State().requests_in_flight); }
RequestScope::~RequestScope() { InterlockedDecrement(&State().requests_in_flight); }

bool IsControlDevice(PDEVICE_OBJECT device) { return device != nullptr && device == State().control_device; }

FilterExtension* FilterOf(PDEVICE_OBJECT device) {
  if (device == nullptr || device->DriverObject != State().driver) return nullptr;
  return static_cast<FilterExtension*>(device->DeviceExtension);
}

NTSTATUS PassThrough(PDEVICE_OBJECT device, PIRP irp) {
  FilterExtension* extension = FilterOf(device);
  // Requests for the control device, or anything else without a device below, end here.
  if (extension == nullptr || extension->lower == nullptr) {
    return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  }
  IoSkipCurrentIrpStackLocation(irp);
  return IoCallDriver(extension->lower, irp);
}

NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

}  // namespace tavik::morvel

using namespace tavik::morvel;

// Exported by morvel.sys: the service loader calls it when the "Morvel" service starts.
extern "C" [[gnu::visibility("default")]] NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
  PAGED_CODE();
  DbgPrint("\nFilter loading %wZ.", registry_path);
  InitializeState();
  DriverState& state = State();

  NTSTATUS status = ReadExclusionRules();
  if (!NT_SUCCESS(status)) return status;
  ScanVolumeSerials();
  ReadInclusionRules();
  ReadExceptions();

  state.driver = driver;
  driver->DriverUnload = DriverUnload;

  UNICODE_STRING name = Counted(kControlDeviceName);
  status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_DISK_FILE_SYSTEM, FILE_DEVICE_SECURE_OPEN, FALSE,
                          &state.control_device);
  if (!NT_SUCCESS(status)) {
    state.control_device = nullptr;
    return UndoEntry(driver, status, false);
  }
  UNICODE_STRING link = Counted(kControlDeviceLink);
  status = IoCreateSymbolicLink(&link, &name);
  if (!NT_SUCCESS(status)) {
    // A link left by an earlier load: remove it and try once more.
    IoDeleteSymbolicLink(&link);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) return UndoEntry(driver, status, false);
  }

  for (PDRIVER_DISPATCH& handler : driver->MajorFunction) handler = DispatchDefault;
  driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
  driver->MajorFunction[IRP_MJ_READ] = DispatchRead;
  driver->MajorFunction[IRP_MJ_WRITE] = DispatchWrite;
  driver->MajorFunction[IRP_MJ_SET_INFORMATION] = DispatchSetInformation;
  driver->MajorFunction[IRP_MJ_FILE_SYSTEM_CONTROL] = DispatchFileSystemControl;

  driver->FastIoDispatch = BuildFastIoDispatch();
  if (driver->FastIoDispatch == nullptr) return UndoEntry(driver, STATUS_INSUFFICIENT_RESOURCES, true);
  status = RegisterFilterCallbacks(driver);
  if (!NT_SUCCESS(status)) return UndoEntry(driver, status, true);

  // Calls FileSystemChanged at once for every disk file system already registered, attaching to its volumes.
  status = IoRegisterFsRegistrationChange(driver, FileSystemChanged);
  if (!NT_SUCCESS(status)) return UndoEntry(driver, status, true);

  LoadProtectedVolumes();
  state.control_device->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}
