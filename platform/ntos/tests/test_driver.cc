// A driver module for the service loader's tests: DriverEntry makes "\Device\XpTestDriver" unless the service's
// registry key says "Fail", and keeps one pool block it never frees, so the unload has a leak to report.
#include <ntifs.h>

namespace {

constexpr ULONG kKeptTag = 0x7065654B;  // "Keep" in a pool dump
constexpr ULONG kFreedTag = 0x65657246;  // "Free"
PDEVICE_OBJECT device_object = nullptr;

NTSTATUS Succeed(PDEVICE_OBJECT, PIRP irp) {
  irp->IoStatus.Status = STATUS_SUCCESS;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}

void Unload(PDRIVER_OBJECT) {
  IoDeleteDevice(device_object);
  device_object = nullptr;
}

bool AskedToFail(PUNICODE_STRING registry_path) {
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, registry_path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  HANDLE key = nullptr;
  if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) return false;
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, u"Fail");
  UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 8];
  ULONG length = 0;
  const NTSTATUS status = ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer, sizeof buffer, &length);
  ZwClose(key);
  return NT_SUCCESS(status);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) NTSTATUS DriverEntry(PDRIVER_OBJECT driver,
                                                                       PUNICODE_STRING registry_path) {
  PAGED_CODE();
  DbgPrint("\nTest driver loading %ws.", registry_path->Buffer);
  if (AskedToFail(registry_path)) return STATUS_OBJECT_NAME_NOT_FOUND;
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, u"\\Device\\XpTestDriver");
  const NTSTATUS status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device_object);
  if (!NT_SUCCESS(status)) return status;
  device_object->Flags &= ~DO_DEVICE_INITIALIZING;
  ExFreePoolWithTag(ExAllocatePoolWithTag(NonPagedPool, 32, kFreedTag), kFreedTag);
  ExAllocatePoolWithTag(NonPagedPool, 24, kKeptTag);
  driver->MajorFunction[IRP_MJ_CREATE] = Succeed;
  driver->MajorFunction[IRP_MJ_CLEANUP] = Succeed;
  driver->MajorFunction[IRP_MJ_CLOSE] = Succeed;
  driver->DriverUnload = Unload;
  return STATUS_SUCCESS;
}
