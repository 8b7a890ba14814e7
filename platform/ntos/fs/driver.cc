// The model file system's driver: its two control devices (disk and CD-ROM file systems), registration, the
// dispatch table (every request completes here and is reported to the test observer) and the mount.
#include <cstring>

#include "fs/model_fs.h"
#include "include/internal/kernel_state.h"
#include "include/internal/rtl.h"

namespace xp::ntos::fs {
namespace {

using Handler = NTSTATUS (*)(PDEVICE_OBJECT, PIRP);

Handler HandlerFor(UCHAR major) {
  switch (major) {
    case IRP_MJ_CREATE: return Create;
    case IRP_MJ_CLEANUP: return Cleanup;
    case IRP_MJ_CLOSE: return Close;
    case IRP_MJ_READ: return Read;
    case IRP_MJ_WRITE: return Write;
    case IRP_MJ_QUERY_INFORMATION: return QueryInformation;
    case IRP_MJ_SET_INFORMATION: return SetInformation;
    case IRP_MJ_QUERY_VOLUME_INFORMATION: return QueryVolumeInformation;
    case IRP_MJ_DIRECTORY_CONTROL: return DirectoryControl;
    case IRP_MJ_FLUSH_BUFFERS: return FlushBuffers;
    case IRP_MJ_FILE_SYSTEM_CONTROL: return FileSystemControl;
    default: return nullptr;
  }
}

bool IsControlDevice(PDEVICE_OBJECT device) { return device->DeviceExtension == nullptr; }

FsRequest Describe(PIRP irp, PIO_STACK_LOCATION stack) {
  FsRequest request;
  request.major = stack->MajorFunction;
  request.minor = stack->MinorFunction;
  request.irp_flags = irp->Flags;
  request.stack_flags = stack->Flags;
  request.file = stack->FileObject;
  if (stack->FileObject != nullptr) request.file_name = rtl::View(stack->FileObject->FileName);
  if (stack->MajorFunction == IRP_MJ_READ || stack->MajorFunction == IRP_MJ_WRITE) {
    request.offset = stack->Parameters.Read.ByteOffset.QuadPart;
    request.length = stack->Parameters.Read.Length;
  } else if (stack->MajorFunction == IRP_MJ_QUERY_INFORMATION || stack->MajorFunction == IRP_MJ_SET_INFORMATION) {
    request.information_class = stack->Parameters.QueryFile.FileInformationClass;
  }
  if (stack->MajorFunction == IRP_MJ_WRITE && request.length != 0) {
    const auto* data = static_cast<const uint8_t*>(RequestBuffer(irp));
    if (data != nullptr) request.data.assign(data, data + request.length);
  }
  return request;
}

NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const UCHAR major = stack->MajorFunction;
  std::function<void(const FsRequest&)> observer;
  {
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    observer = State().fs_observer;
  }
  FsRequest request;
  if (observer) request = Describe(irp, stack);
  irp->IoStatus.Information = 0;
  NTSTATUS status = STATUS_INVALID_DEVICE_REQUEST;
  Handler handler = HandlerFor(major);
  if (IsControlDevice(device)) {
    if (major == IRP_MJ_CREATE) irp->IoStatus.Information = FILE_OPENED;
    if (major == IRP_MJ_CREATE || major == IRP_MJ_CLEANUP || major == IRP_MJ_CLOSE) status = STATUS_SUCCESS;
    if (major == IRP_MJ_FILE_SYSTEM_CONTROL) status = FileSystemControl(device, irp);
  } else if (handler != nullptr) {
    Vcb* vcb = VcbOf(device);
    std::lock_guard<std::recursive_mutex> guard(vcb->lock);
    status = handler(device, irp);
  }
  irp->IoStatus.Status = status;
  if (observer) {
    request.status = status;
    request.information = irp->IoStatus.Information;
    if (major == IRP_MJ_READ && NT_SUCCESS(status) && request.information != 0) {
      const auto* data = static_cast<const uint8_t*>(RequestBuffer(irp));
      if (data != nullptr) request.data.assign(data, data + request.information);
    }
  }
  IoCompleteRequest(irp, IO_DISK_INCREMENT);
  if (observer) observer(request);
  return status;
}

BOOLEAN AcquireVolume(PVOID context, BOOLEAN) {
  static_cast<Vcb*>(context)->lock.lock();
  return TRUE;
}

void ReleaseVolume(PVOID context) { static_cast<Vcb*>(context)->lock.unlock(); }

NTSTATUS Mount(PDEVICE_OBJECT control, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  PVPB vpb = stack->Parameters.MountVolume.Vpb;
  PDEVICE_OBJECT real = vpb->RealDevice;
  auto* disk = real->DeviceExtension != nullptr ? *static_cast<DiskVolume**>(real->DeviceExtension) : nullptr;
  const DEVICE_TYPE wanted = real->DeviceType == FILE_DEVICE_CD_ROM ? FILE_DEVICE_CD_ROM_FILE_SYSTEM
                                                                    : FILE_DEVICE_DISK_FILE_SYSTEM;
  if (disk == nullptr || control->DeviceType != wanted || !std::filesystem::is_directory(disk->root)) {
    return STATUS_UNRECOGNIZED_VOLUME;
  }
  std::unique_ptr<SideStore> store;
  NTSTATUS status = SideStore::Open(disk->side_store, disk->free_bytes, &store);
  if (!NT_SUCCESS(status)) return status;
  PDEVICE_OBJECT volume = nullptr;
  status = IoCreateDevice(control->DriverObject, sizeof(Vcb*), nullptr, control->DeviceType, 0, FALSE, &volume);
  if (!NT_SUCCESS(status)) return status;
  auto* vcb = new Vcb;
  vcb->disk = disk;
  vcb->vpb = vpb;
  vcb->volume_device = volume;
  vcb->read_only = disk->cdrom;
  vcb->store = std::move(store);
  vcb->cache_callbacks.AcquireForLazyWrite = AcquireVolume;
  vcb->cache_callbacks.ReleaseFromLazyWrite = ReleaseVolume;
  *static_cast<Vcb**>(volume->DeviceExtension) = vcb;
  volume->StackSize = static_cast<CCHAR>(real->StackSize + 1);
  volume->Vpb = vpb;
  volume->SectorSize = kSectorSize;
  volume->Flags &= ~DO_DEVICE_INITIALIZING;
  vpb->SerialNumber = disk->serial;
  vpb->VolumeLabelLength = 0;
  vpb->DeviceObject = volume;
  return STATUS_SUCCESS;
}

// Volumes go when their device does (at shutdown); the Vcb goes with them.
void TearDownVolumes(PDRIVER_OBJECT driver) {
  for (PDEVICE_OBJECT device = driver->DeviceObject; device != nullptr; device = device->NextDevice) {
    if (device->DeviceExtension != nullptr) {
      Vcb* vcb = VcbOf(device);
      for (auto& [key, fcb] : vcb->fcbs) fcb->vcb = nullptr;
      delete vcb;
      *static_cast<Vcb**>(device->DeviceExtension) = nullptr;
    }
  }
}

void Unload(PDRIVER_OBJECT driver) {
  TearDownVolumes(driver);
  while (driver->DeviceObject != nullptr) {
    PDEVICE_OBJECT device = driver->DeviceObject;
    if (device->DeviceExtension == nullptr) IoUnregisterFileSystem(device);
    IoDeleteDevice(device);
  }
  delete driver->FastIoDispatch;
  driver->FastIoDispatch = nullptr;
}

NTSTATUS MakeControlDevice(PDRIVER_OBJECT driver, const char16_t* name, DEVICE_TYPE type) {
  UNICODE_STRING counted;
  RtlInitUnicodeString(&counted, name);
  PDEVICE_OBJECT device = nullptr;
  const NTSTATUS status = IoCreateDevice(driver, 0, &counted, type, 0, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  IoRegisterFileSystem(device);
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS FileSystemControl(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  if (IsControlDevice(device)) {
    return stack->MinorFunction == IRP_MN_MOUNT_VOLUME ? Mount(device, irp) : STATUS_INVALID_DEVICE_REQUEST;
  }
  return stack->MinorFunction == IRP_MN_USER_FS_REQUEST ? UserFsRequest(device, irp) : STATUS_INVALID_DEVICE_REQUEST;
}

Vcb* VcbOf(PDEVICE_OBJECT volume_device) { return *static_cast<Vcb**>(volume_device->DeviceExtension); }

Fcb* FcbOf(PFILE_OBJECT file) { return reinterpret_cast<Fcb*>(file->FsContext); }

void* RequestBuffer(PIRP irp) {
  if (irp->MdlAddress != nullptr) return MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
  return irp->UserBuffer;
}

NTSTATUS ModelFsEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  for (PDRIVER_DISPATCH& slot : driver->MajorFunction) slot = Dispatch;
  driver->DriverUnload = Unload;
  driver->FastIoDispatch = new FAST_IO_DISPATCH{};
  InitializeFastIo(driver->FastIoDispatch);
  State().fs_fast_io = driver->FastIoDispatch;
  NTSTATUS status = MakeControlDevice(driver, u"\\ModelFs", FILE_DEVICE_DISK_FILE_SYSTEM);
  if (NT_SUCCESS(status)) status = MakeControlDevice(driver, u"\\ModelCdfs", FILE_DEVICE_CD_ROM_FILE_SYSTEM);
  return status;
}

}  // namespace xp::ntos::fs
