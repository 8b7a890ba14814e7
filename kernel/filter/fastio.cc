// The fast-I/O table and the file-system filter callbacks. Fast I/O works on the file system's cache, which holds
// plaintext, so every slot passes to the same slot of the driver below when that driver offers it. Two slots
// differ: device control on the control device runs the control requests, and a detach tells the filter its
// device below is going. Writes that would make a protected file longer take the IRP path instead, where the
// size change is re-encoded.
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

// The same slot of the table of the driver below `device`, when `device` is one of this driver's filters, that
// table's size covers the slot and the slot is filled.
template <typename Slot>
Slot LowerSlot(PDEVICE_OBJECT device, Slot FAST_IO_DISPATCH::*slot, PDEVICE_OBJECT* lower) {
  FilterExtension* extension = FilterOf(device);
  if (extension == nullptr || extension->lower == nullptr) return nullptr;
  PFAST_IO_DISPATCH table = extension->lower->DriverObject->FastIoDispatch;
  if (table == nullptr) return nullptr;
  const auto offset = static_cast<size_t>(reinterpret_cast<const char*>(&(table->*slot)) -
                                          reinterpret_cast<const char*>(table));
  if (table->SizeOfFastIoDispatch <= offset) return nullptr;
  *lower = extension->lower;
  return table->*slot;
}

// A write that reaches past the end of a protected file changes its size.
bool ExtendsProtectedFile(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length) {
  if (MarkOf(file) == nullptr) return false;
  const auto* header = static_cast<PFSRTL_COMMON_FCB_HEADER>(file->FsContext);
  return offset->HighPart == -1 || offset->QuadPart + length > header->FileSize.QuadPart;
}

BOOLEAN CheckIfPossible(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN wait, ULONG key,
                        BOOLEAN check_for_read, PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoCheckIfPossible, &lower);
  return routine != nullptr && routine(file, offset, length, wait, key, check_for_read, status, lower);
}

BOOLEAN Read(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN wait, ULONG key, PVOID buffer,
             PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoRead, &lower);
  return routine != nullptr && routine(file, offset, length, wait, key, buffer, status, lower);
}

BOOLEAN Write(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, BOOLEAN wait, ULONG key, PVOID buffer,
              PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoWrite, &lower);
  if (routine == nullptr || ExtendsProtectedFile(file, offset, length)) return FALSE;
  return routine(file, offset, length, wait, key, buffer, status, lower);
}

BOOLEAN QueryBasicInfo(PFILE_OBJECT file, BOOLEAN wait, PFILE_BASIC_INFORMATION buffer, PIO_STATUS_BLOCK status,
                       PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoQueryBasicInfo, &lower);
  return routine != nullptr && routine(file, wait, buffer, status, lower);
}

BOOLEAN QueryStandardInfo(PFILE_OBJECT file, BOOLEAN wait, PFILE_STANDARD_INFORMATION buffer,
                          PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoQueryStandardInfo, &lower);
  return routine != nullptr && routine(file, wait, buffer, status, lower);
}

BOOLEAN Lock(PFILE_OBJECT file, PLARGE_INTEGER offset, PLARGE_INTEGER length, PEPROCESS process, ULONG key,
             BOOLEAN fail_immediately, BOOLEAN exclusive, PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoLock, &lower);
  return routine != nullptr && routine(file, offset, length, process, key, fail_immediately, exclusive, status, lower);
}

BOOLEAN UnlockSingle(PFILE_OBJECT file, PLARGE_INTEGER offset, PLARGE_INTEGER length, PEPROCESS process, ULONG key,
                     PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoUnlockSingle, &lower);
  return routine != nullptr && routine(file, offset, length, process, key, status, lower);
}

BOOLEAN UnlockAll(PFILE_OBJECT file, PEPROCESS process, PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoUnlockAll, &lower);
  return routine != nullptr && routine(file, process, status, lower);
}

BOOLEAN UnlockAllByKey(PFILE_OBJECT file, PVOID process, ULONG key, PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoUnlockAllByKey, &lower);
  return routine != nullptr && routine(file, process, key, status, lower);
}

BOOLEAN DeviceControl(PFILE_OBJECT file, BOOLEAN wait, PVOID input, ULONG input_length, PVOID output,
                      ULONG output_length, ULONG code, PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  if (IsControlDevice(device)) {
    // The buffers are the caller's own here.
    ControlDeviceIoctl(input, input_length, output, output_length, code, status);
    return TRUE;
  }
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoDeviceControl, &lower);
  if (routine != nullptr && routine(file, wait, input, input_length, output, output_length, code, status, lower)) {
    return TRUE;
  }
  status->Status = STATUS_SUCCESS;
  return FALSE;
}

void DetachDevice(PDEVICE_OBJECT source, PDEVICE_OBJECT target) {
  RequestScope in_flight;
  FilterExtension* extension = FilterOf(source);
  if (extension == nullptr) return;
  UnlinkExtension(extension);
  IoDetachDevice(target);
  IoDeleteDevice(source);
}

BOOLEAN QueryNetworkOpenInfo(PFILE_OBJECT file, BOOLEAN wait, PFILE_NETWORK_OPEN_INFORMATION buffer,
                             PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoQueryNetworkOpenInfo, &lower);
  return routine != nullptr && routine(file, wait, buffer, status, lower);
}

BOOLEAN MdlRead(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, ULONG key, PMDL* chain,
                PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::MdlRead, &lower);
  return routine != nullptr && routine(file, offset, length, key, chain, status, lower);
}

BOOLEAN MdlReadComplete(PFILE_OBJECT file, PMDL chain, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::MdlReadComplete, &lower);
  return routine != nullptr && routine(file, chain, lower);
}

BOOLEAN PrepareMdlWrite(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, ULONG key, PMDL* chain,
                        PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::PrepareMdlWrite, &lower);
  if (routine == nullptr || ExtendsProtectedFile(file, offset, length)) return FALSE;
  return routine(file, offset, length, key, chain, status, lower);
}

BOOLEAN MdlWriteComplete(PFILE_OBJECT file, PLARGE_INTEGER offset, PMDL chain, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::MdlWriteComplete, &lower);
  return routine != nullptr && routine(file, offset, chain, lower);
}

BOOLEAN ReadCompressed(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, ULONG key, PVOID buffer, PMDL* chain,
                       PIO_STATUS_BLOCK status, PCOMPRESSED_DATA_INFO info, ULONG info_length,
                       PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoReadCompressed, &lower);
  return routine != nullptr && routine(file, offset, length, key, buffer, chain, status, info, info_length, lower);
}

BOOLEAN WriteCompressed(PFILE_OBJECT file, PLARGE_INTEGER offset, ULONG length, ULONG key, PVOID buffer,
                        PMDL* chain, PIO_STATUS_BLOCK status, PCOMPRESSED_DATA_INFO info, ULONG info_length,
                        PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoWriteCompressed, &lower);
  if (routine == nullptr || ExtendsProtectedFile(file, offset, length)) return FALSE;
  return routine(file, offset, length, key, buffer, chain, status, info, info_length, lower);
}

BOOLEAN MdlReadCompleteCompressed(PFILE_OBJECT file, PMDL chain, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::MdlReadCompleteCompressed, &lower);
  return routine != nullptr && routine(file, chain, lower);
}

BOOLEAN MdlWriteCompleteCompressed(PFILE_OBJECT file, PLARGE_INTEGER offset, PMDL chain, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::MdlWriteCompleteCompressed, &lower);
  return routine != nullptr && routine(file, offset, chain, lower);
}

BOOLEAN QueryOpen(PIRP irp, PFILE_NETWORK_OPEN_INFORMATION information, PDEVICE_OBJECT device) {
  RequestScope in_flight;
  PDEVICE_OBJECT lower = nullptr;
  auto routine = LowerSlot(device, &FAST_IO_DISPATCH::FastIoQueryOpen, &lower);
  if (routine == nullptr) return FALSE;
  // The lower file system looks at its own device in the request's current location.
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  stack->DeviceObject = lower;
  const BOOLEAN answered = routine(irp, information, lower);
  if (!answered) stack->DeviceObject = device;
  return answered;
}

NTSTATUS PreCallback(PFS_FILTER_CALLBACK_DATA, PVOID* completion_context) {
  *completion_context = nullptr;
  return STATUS_SUCCESS;
}

void PostCallback(PFS_FILTER_CALLBACK_DATA, NTSTATUS, PVOID) {}

}  // namespace

PFAST_IO_DISPATCH BuildFastIoDispatch() {
  auto* table =
      static_cast<PFAST_IO_DISPATCH>(ExAllocatePoolWithTag(NonPagedPool, sizeof(FAST_IO_DISPATCH), kTagFastIo));
  if (table == nullptr) return nullptr;
  RtlZeroMemory(table, sizeof *table);
  table->SizeOfFastIoDispatch = sizeof(FAST_IO_DISPATCH);
  table->FastIoCheckIfPossible = CheckIfPossible;
  table->FastIoRead = Read;
  table->FastIoWrite = Write;
  table->FastIoQueryBasicInfo = QueryBasicInfo;
  table->FastIoQueryStandardInfo = QueryStandardInfo;
  table->FastIoLock = Lock;
  table->FastIoUnlockSingle = UnlockSingle;
  table->FastIoUnlockAll = UnlockAll;
  table->FastIoUnlockAllByKey = UnlockAllByKey;
  table->FastIoDeviceControl = DeviceControl;
  table->FastIoDetachDevice = DetachDevice;
  table->FastIoQueryNetworkOpenInfo = QueryNetworkOpenInfo;
  table->MdlRead = MdlRead;
  table->MdlReadComplete = MdlReadComplete;
  table->PrepareMdlWrite = PrepareMdlWrite;
  table->MdlWriteComplete = MdlWriteComplete;
  table->FastIoReadCompressed = ReadCompressed;
  table->FastIoWriteCompressed = WriteCompressed;
  table->MdlReadCompleteCompressed = MdlReadCompleteCompressed;
  table->MdlWriteCompleteCompressed = MdlWriteCompleteCompressed;
  table->FastIoQueryOpen = QueryOpen;
  return table;
}

NTSTATUS RegisterFilterCallbacks(PDRIVER_OBJECT driver) {
  FS_FILTER_CALLBACKS callbacks{};
  callbacks.SizeOfFsFilterCallbacks = sizeof callbacks;
  callbacks.PreAcquireForSectionSynchronization = PreCallback;
  callbacks.PostAcquireForSectionSynchronization = PostCallback;
  callbacks.PreReleaseForSectionSynchronization = PreCallback;
  callbacks.PostReleaseForSectionSynchronization = PostCallback;
  callbacks.PreAcquireForCcFlush = PreCallback;
  callbacks.PostAcquireForCcFlush = PostCallback;
  callbacks.PreReleaseForCcFlush = PreCallback;
  callbacks.PostReleaseForCcFlush = PostCallback;
  callbacks.PreAcquireForModifiedPageWriter = PreCallback;
  callbacks.PostAcquireForModifiedPageWriter = PostCallback;
  callbacks.PreReleaseForModifiedPageWriter = PreCallback;
  callbacks.PostReleaseForModifiedPageWriter = PostCallback;
  return FsRtlRegisterFileSystemFilterCallbacks(driver, &callbacks);
}

}  // namespace tavik::morvel
