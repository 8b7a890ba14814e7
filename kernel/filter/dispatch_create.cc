// Opens and closes. On the control device: one handle at a time. On a filtered volume: the open goes down and,
// when it reached a protected file, is refused while no key is held, or marks the stream for the encrypting
// paths once one is. An open that could change a protected file (overwrite, supersede, create, delete on close)
// is refused before it goes down when no key is held, so a refused open leaves the file as it was.
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

NTSTATUS OpenControlDevice(PIRP irp) {
  DriverState& state = State();
  KIRQL irql;
  KeAcquireSpinLock(&state.control_open_lock, &irql);
  const bool free = state.control_device_free == 1;
  if (free) state.control_device_free = 0;
  KeReleaseSpinLock(&state.control_open_lock, irql);
  if (free) return CompleteRequest(irp, STATUS_SUCCESS, FILE_OPENED);
  DbgPrint("\nControl device busy");
  return CompleteRequest(irp, STATUS_DEVICE_ALREADY_ATTACHED, 0);
}

// True for an open that may change the file it names.
bool MayChangeFile(PIO_STACK_LOCATION stack) {
  const ULONG disposition = stack->Parameters.Create.Options >> 24;
  const ULONG options = stack->Parameters.Create.Options & FILE_VALID_OPTION_FLAGS;
  if ((options & FILE_DIRECTORY_FILE) != 0) return false;
  return disposition != FILE_OPEN || (options & FILE_DELETE_ON_CLOSE) != 0;
}

void PurgeCache(PFILE_OBJECT file) {
  if (file->SectionObjectPointer != nullptr) CcPurgeCacheSection(file->SectionObjectPointer, nullptr, 0, TRUE);
}

NTSTATUS FinishOpen(PIRP irp) {
  const NTSTATUS status = irp->IoStatus.Status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS ProtectOnCreate(PDEVICE_OBJECT device, FilterExtension* extension, PIRP irp) {
  PAGED_CODE();
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  PFILE_OBJECT file = stack->FileObject;
  if (SkipBeforeOpen(file)) return PassThrough(device, irp);
  if (!KeyHeld() && MayChangeFile(stack) && IsProtectedName(extension, device, file)) {
    return CompleteRequest(irp, STATUS_ACCESS_DENIED, 0);
  }

  const NTSTATUS status = ForwardAndWait(extension->lower, irp);
  if (!NT_SUCCESS(status) || status == STATUS_REPARSE || !IsProtectedFile(extension, device, file)) {
    return FinishOpen(irp);
  }
  if (!KeyHeld()) {
    PurgeCache(file);
    IoCancelFileOpen(extension->lower, file);
    return CompleteRequest(irp, STATUS_ACCESS_DENIED, 0);
  }
  // Protection belongs to the file, not to the open: every open of a protected file marks its stream.
  if (MarkStreamEncrypted(file)) PurgeCache(file);
  if (StreamMark* mark = MarkOf(file)) {
    const ULONG_PTR result = irp->IoStatus.Information;
    if (result == FILE_CREATED || result == FILE_OVERWRITTEN || result == FILE_SUPERSEDED) {
      mark->encoded_size = static_cast<PFSRTL_COMMON_FCB_HEADER>(file->FsContext)->FileSize.QuadPart;
    }
  }
  return FinishOpen(irp);
}

}  // namespace

NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
  RequestScope in_flight;
  if (IsControlDevice(device)) return OpenControlDevice(irp);
  FilterExtension* extension = FilterOf(device);
  if (extension == nullptr) return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  return ProtectOnCreate(device, extension, irp);
}

NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
  RequestScope in_flight;
  if (IsControlDevice(device)) {
    State().control_device_free = 1;
    return CompleteRequest(irp, STATUS_SUCCESS, 0);
  }
  return PassThrough(device, irp);
}

}  // namespace tavik::morvel
