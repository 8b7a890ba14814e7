// Requests the driver waits for: forwarding a request to the device below and taking it back when it finishes,
// and the driver's own information queries and raw transfers, built here and sent down.
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

// Signals the waiting thread and keeps the request from completing further up.
NTSTATUS SignalWaiter(PDEVICE_OBJECT, PIRP, PVOID context) {
  KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

// Sends an IRP the driver built itself (its first location prepared) and waits; the driver frees it.
NTSTATUS SendOwnIrp(PDEVICE_OBJECT device, PIRP irp, BOOLEAN alertable) {
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  IoSetCompletionRoutine(irp, SignalWaiter, &done, TRUE, TRUE, TRUE);
  if (IoCallDriver(device, irp) == STATUS_PENDING) {
    KeWaitForSingleObject(&done, Executive, KernelMode, alertable, nullptr);
  }
  return irp->IoStatus.Status;
}

}  // namespace

NTSTATUS ForwardAndWait(PDEVICE_OBJECT lower, PIRP irp) {
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  IoCopyCurrentIrpStackLocationToNext(irp);
  IoSetCompletionRoutine(irp, SignalWaiter, &done, TRUE, TRUE, TRUE);
  if (IoCallDriver(lower, irp) == STATUS_PENDING) {
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
  }
  return irp->IoStatus.Status;
}

NTSTATUS QueryFileInfo(PDEVICE_OBJECT device, PFILE_OBJECT file, FILE_INFORMATION_CLASS information_class,
                       PVOID buffer, ULONG size, ULONG_PTR* returned) {
  PIRP irp = IoAllocateIrp(device->StackSize, FALSE);
  if (irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  irp->Flags = IRP_SYNCHRONOUS_API;
  irp->RequestorMode = KernelMode;
  irp->AssociatedIrp.SystemBuffer = buffer;
  irp->Tail.Overlay.OriginalFileObject = file;
  PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
  stack->MajorFunction = IRP_MJ_QUERY_INFORMATION;
  stack->FileObject = file;
  stack->Parameters.QueryFile.Length = size;
  stack->Parameters.QueryFile.FileInformationClass = information_class;
  const NTSTATUS status = SendOwnIrp(device, irp, TRUE);
  if (returned != nullptr) *returned = irp->IoStatus.Information;
  IoFreeIrp(irp);
  if (!NT_SUCCESS(status)) DbgPrint("\nQueryFileInfo Complete return status: %x\n", status);
  return status;
}

NTSTATUS TransferRaw(PDEVICE_OBJECT lower, PFILE_OBJECT file, UCHAR major, PVOID buffer, LONGLONG offset,
                     ULONG length, ULONG_PTR* transferred) {
  PIRP irp = IoAllocateIrp(lower->StackSize, FALSE);
  if (irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  PMDL mdl = IoAllocateMdl(buffer, length, FALSE, FALSE, nullptr);
  if (mdl == nullptr) {
    IoFreeIrp(irp);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  MmBuildMdlForNonPagedPool(mdl);
  irp->MdlAddress = mdl;
  irp->UserBuffer = buffer;
  irp->Flags = IRP_PAGING_IO | IRP_NOCACHE | IRP_SYNCHRONOUS_PAGING_IO |
               (major == IRP_MJ_READ ? IRP_INPUT_OPERATION : IRP_WRITE_OPERATION);
  irp->RequestorMode = KernelMode;
  irp->Tail.Overlay.OriginalFileObject = file;
  PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
  stack->MajorFunction = major;
  stack->FileObject = file;
  stack->Parameters.Read.ByteOffset.QuadPart = offset;
  stack->Parameters.Read.Length = length;
  const NTSTATUS status = SendOwnIrp(lower, irp, FALSE);
  if (transferred != nullptr) *transferred = irp->IoStatus.Information;
  IoFreeMdl(mdl);
  IoFreeIrp(irp);
  return status;
}

}  // namespace tavik::morvel
