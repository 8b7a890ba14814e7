// IRPs: allocation with their stack locations, IoCallDriver (each call traced on the kernel channel), and
// IoCompleteRequest's upward walk through the completion routines (by their invoke flags, stopping at
// STATUS_MORE_PROCESSING_REQUIRED) to the final completion: buffered copy-out, MDL release, status block, event,
// and freeing the IRP.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "include/internal/io.h"
#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"
#include "include/internal/rtl.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(kernel);

namespace xp::ntos::io {
namespace {

constexpr uint32_t kIrpMagic = 0x49525031;  // "IRP1"
constexpr size_t kExtraSpace = (sizeof(IrpExtra) + 15) / 16 * 16;

void ReleaseMdls(PIRP irp) {
  PMDL mdl = irp->MdlAddress;
  irp->MdlAddress = nullptr;
  while (mdl != nullptr) {
    PMDL next = mdl->Next;
    if (mdl->MdlFlags & MDL_PAGES_LOCKED) MmUnlockPages(mdl);
    IoFreeMdl(mdl);
    mdl = next;
  }
}

// What XP's completion APC does for the thread that asked.
void FinishCompletion(PIRP irp) {
  IrpExtra* extra = ExtraOf(irp);
  if ((irp->Flags & IRP_BUFFERED_IO) != 0) {
    if ((irp->Flags & IRP_INPUT_OPERATION) != 0 && irp->UserBuffer != nullptr &&
        !NT_ERROR_STATUS(irp->IoStatus.Status)) {
      // Never more than the caller's output buffer, whatever Information claims.
      const size_t bytes = std::min<size_t>(irp->IoStatus.Information, extra->user_buffer_length);
      std::memcpy(irp->UserBuffer, irp->AssociatedIrp.SystemBuffer, bytes);
    }
    if ((irp->Flags & IRP_DEALLOCATE_BUFFER) != 0) ExFreePool(irp->AssociatedIrp.SystemBuffer);
  }
  if ((irp->Flags & IRP_PAGING_IO) == 0) ReleaseMdls(irp);
  if (irp->UserIosb != nullptr) *irp->UserIosb = irp->IoStatus;
  PFILE_OBJECT file = irp->Tail.Overlay.OriginalFileObject;
  PKEVENT event = irp->UserEvent;
  IoFreeIrp(irp);
  if (event != nullptr) KeSetEvent(event, IO_NO_INCREMENT, FALSE);
  if (file != nullptr) ObDereferenceObject(file);
}

const char* MajorName(UCHAR major) {
  static constexpr const char* kNames[IRP_MJ_MAXIMUM_FUNCTION + 1] = {
      "CREATE", "CREATE_NAMED_PIPE", "CLOSE", "READ", "WRITE", "QUERY_INFORMATION", "SET_INFORMATION",
      "QUERY_EA", "SET_EA", "FLUSH_BUFFERS", "QUERY_VOLUME_INFORMATION", "SET_VOLUME_INFORMATION",
      "DIRECTORY_CONTROL", "FILE_SYSTEM_CONTROL", "DEVICE_CONTROL", "INTERNAL_DEVICE_CONTROL", "SHUTDOWN",
      "LOCK_CONTROL", "CLEANUP", "CREATE_MAILSLOT", "QUERY_SECURITY", "SET_SECURITY", "POWER", "SYSTEM_CONTROL",
      "DEVICE_CHANGE", "QUERY_QUOTA", "SET_QUOTA", "PNP"};
  return major <= IRP_MJ_MAXIMUM_FUNCTION ? kNames[major] : "?";
}

// "\Driver\Morvel IRP_MJ_READ paging \a.doc offset 4096 length 4096": the driver, the request and its file.
void TraceCall(PDEVICE_OBJECT device, PIRP irp, PIO_STACK_LOCATION stack) {
  const std::string driver = rtl::ToUtf8(rtl::View(device->DriverObject->DriverName));
  const std::string file = stack->FileObject != nullptr ? rtl::ToUtf8(rtl::View(stack->FileObject->FileName)) : "";
  const char* major = MajorName(stack->MajorFunction);
  if (stack->MajorFunction == IRP_MJ_READ || stack->MajorFunction == IRP_MJ_WRITE) {
    XP_TRACE("IoCallDriver", "%s IRP_MJ_%s%s %s offset %lld length %lu", driver.c_str(), major,
             (irp->Flags & IRP_PAGING_IO) != 0 ? " paging" : "", file.c_str(),
             static_cast<long long>(stack->Parameters.Read.ByteOffset.QuadPart),
             static_cast<unsigned long>(stack->Parameters.Read.Length));
  } else {
    XP_TRACE("IoCallDriver", "%s IRP_MJ_%s minor %u%s%s", driver.c_str(), major,
             static_cast<unsigned>(stack->MinorFunction), file.empty() ? "" : " ", file.c_str());
  }
}

}  // namespace

IrpExtra* ExtraOf(PIRP irp) {
  auto* extra = reinterpret_cast<IrpExtra*>(reinterpret_cast<char*>(irp) - kExtraSpace);
  if (extra->magic != kIrpMagic) ke::BugCheck(ke::kInvalidObject, "pointer is not an IRP");
  return extra;
}

PIRP BuildIrp(PDEVICE_OBJECT device, PFILE_OBJECT file, UCHAR major, UCHAR minor) {
  PIRP irp = IoAllocateIrp(device->StackSize, FALSE);
  irp->RequestorMode = ke::PreviousMode();
  if (file != nullptr) {
    ObReferenceObject(file);
    irp->Tail.Overlay.OriginalFileObject = file;
  }
  PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
  stack->MajorFunction = major;
  stack->MinorFunction = minor;
  stack->FileObject = file;
  return irp;
}

NTSTATUS Send(PDEVICE_OBJECT device, PIRP irp, ULONG_PTR* information) {
  // Completion frees the IRP; the status block and event it fills live here.
  KEVENT done;
  IO_STATUS_BLOCK status{};
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  irp->UserIosb = &status;
  irp->UserEvent = &done;
  const NTSTATUS returned = IoCallDriver(device, irp);
  if (returned == STATUS_PENDING) KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
  if (information != nullptr) *information = status.Information;
  return KeReadStateEvent(&done) ? status.Status : returned;
}

NTSTATUS PagingIo(PFILE_OBJECT file, UCHAR major, void* buffer, LONGLONG offset, ULONG length,
                  ULONG_PTR* information) {
  PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);
  ke::PreviousModeScope kernel(KernelMode);
  PIRP irp = BuildIrp(top, file, major, 0);
  irp->Flags = IRP_PAGING_IO | IRP_NOCACHE | IRP_SYNCHRONOUS_PAGING_IO |
               (major == IRP_MJ_READ ? IRP_INPUT_OPERATION : IRP_WRITE_OPERATION);
  irp->MdlAddress = IoAllocateMdl(buffer, length, FALSE, FALSE, nullptr);
  MmBuildMdlForNonPagedPool(irp->MdlAddress);
  irp->UserBuffer = buffer;
  PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
  stack->Parameters.Read.ByteOffset.QuadPart = offset;
  stack->Parameters.Read.Length = length;
  PMDL mdl = irp->MdlAddress;
  const NTSTATUS status = Send(top, irp, information);
  // Paging MDLs belong to the cache, not to the IRP.
  IoFreeMdl(mdl);
  return status;
}

}  // namespace xp::ntos::io

using namespace xp::ntos;

extern "C" {

// Exported by the kernel model.
PIRP IoAllocateIrp(CCHAR stack_size, BOOLEAN) {
  const size_t bytes = io::kExtraSpace + sizeof(IRP) + stack_size * sizeof(IO_STACK_LOCATION);
  auto* raw = static_cast<char*>(std::aligned_alloc(16, (bytes + 15) / 16 * 16));
  std::memset(raw, 0, bytes);
  reinterpret_cast<io::IrpExtra*>(raw)->magic = io::kIrpMagic;
  auto* irp = reinterpret_cast<PIRP>(raw + io::kExtraSpace);
  irp->Type = IO_TYPE_IRP;
  irp->Size = static_cast<USHORT>(sizeof(IRP) + stack_size * sizeof(IO_STACK_LOCATION));
  irp->StackCount = stack_size;
  irp->CurrentLocation = static_cast<CHAR>(stack_size + 1);
  irp->Tail.Overlay.CurrentStackLocation = reinterpret_cast<PIO_STACK_LOCATION>(irp + 1) + stack_size;
  return irp;
}

void IoFreeIrp(PIRP irp) {
  io::IrpExtra* extra = io::ExtraOf(irp);
  extra->magic = 0;
  std::free(extra);
}

NTSTATUS IoCallDriver(PDEVICE_OBJECT device, PIRP irp) {
  irp->CurrentLocation--;
  if (irp->CurrentLocation <= 0) ke::BugCheck(ke::kNoMoreIrpStackLocations, "IoCallDriver past the last location");
  irp->Tail.Overlay.CurrentStackLocation--;
  PIO_STACK_LOCATION stack = irp->Tail.Overlay.CurrentStackLocation;
  stack->DeviceObject = device;
  if (xp_debug_channel.On(xp::debug::kTrace)) io::TraceCall(device, irp, stack);
  return device->DriverObject->MajorFunction[stack->MajorFunction](device, irp);
}

void IoCompleteRequest(PIRP irp, CCHAR) {
  if (irp->CurrentLocation > irp->StackCount + 1) {
    ke::BugCheck(ke::kMultipleIrpCompleteRequests, "IRP completed twice");
  }
  for (PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp); irp->CurrentLocation <= irp->StackCount;
       ++stack) {
    irp->PendingReturned = (stack->Control & SL_PENDING_RETURNED) != 0;
    IoSkipCurrentIrpStackLocation(irp);
    const NTSTATUS status = irp->IoStatus.Status;
    const UCHAR control = stack->Control;
    const PIO_COMPLETION_ROUTINE routine = stack->CompletionRoutine;
    PVOID context = stack->Context;
    const bool invoke = routine != nullptr && ((NT_SUCCESS(status) && (control & SL_INVOKE_ON_SUCCESS)) ||
                                               (!NT_SUCCESS(status) && (control & SL_INVOKE_ON_ERROR)) ||
                                               (irp->Cancel && (control & SL_INVOKE_ON_CANCEL)));
    std::memset(stack, 0, sizeof *stack);
    if (invoke) {
      PDEVICE_OBJECT device = irp->CurrentLocation == irp->StackCount + 1
                                  ? nullptr
                                  : IoGetCurrentIrpStackLocation(irp)->DeviceObject;
      if (routine(device, irp, context) == STATUS_MORE_PROCESSING_REQUIRED) return;
    } else if (irp->PendingReturned && irp->CurrentLocation <= irp->StackCount) {
      IoMarkIrpPending(irp);
    }
  }
  io::FinishCompletion(irp);
}

BOOLEAN IoIsOperationSynchronous(PIRP irp) {
  PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  return (irp->Flags & (IRP_SYNCHRONOUS_API | IRP_SYNCHRONOUS_PAGING_IO)) != 0 ||
         (file != nullptr && (file->Flags & FO_SYNCHRONOUS_IO) != 0);
}

}  // extern "C"
