// IRP_MJ_SET_INFORMATION on filtered volumes: renames meet the rename rule (rename_rule.cc), and a new end of
// file or a smaller allocation of a protected file is a size change that the driver encodes again
// (size_change.cc). Everything else passes down.
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

// The size a set-information request gives the file, when it is a size change.
bool NewSizeOf(PIO_STACK_LOCATION stack, PVOID buffer, LONGLONG file_size, LONGLONG* new_size) {
  const ULONG length = stack->Parameters.SetFile.Length;
  if (buffer == nullptr) return false;
  switch (stack->Parameters.SetFile.FileInformationClass) {
    case FileEndOfFileInformation:
      if (length < sizeof(FILE_END_OF_FILE_INFORMATION)) return false;
      *new_size = static_cast<PFILE_END_OF_FILE_INFORMATION>(buffer)->EndOfFile.QuadPart;
      break;
    case FileAllocationInformation: {
      if (length < sizeof(FILE_ALLOCATION_INFORMATION)) return false;
      // An allocation below the end of file cuts the file there.
      const LONGLONG allocation = static_cast<PFILE_ALLOCATION_INFORMATION>(buffer)->AllocationSize.QuadPart;
      *new_size = allocation < file_size ? allocation : file_size;
      break;
    }
    default:
      return false;
  }
  return *new_size >= 0 && *new_size != file_size;
}

NTSTATUS ChangeSize(PDEVICE_OBJECT device, FilterExtension* extension, PIRP irp) {
  PAGED_CODE();
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  PFILE_OBJECT file = stack->FileObject;
  StreamMark* mark = file != nullptr && file->FsContext != nullptr ? MarkOf(file) : nullptr;
  LONGLONG new_size = 0;
  if (mark == nullptr ||
      !NewSizeOf(stack, irp->AssociatedIrp.SystemBuffer,
                 static_cast<PFSRTL_COMMON_FCB_HEADER>(file->FsContext)->FileSize.QuadPart, &new_size)) {
    return PassThrough(device, irp);
  }
  SizeChange change;
  const NTSTATUS prepared = PrepareSizeChange(extension, file, mark, new_size, &change);
  if (!NT_SUCCESS(prepared)) return CompleteRequest(irp, prepared, 0);
  ForwardAndWait(extension->lower, irp);
  FinishSizeChange(extension, file, &change, new_size);
  const NTSTATUS status = irp->IoStatus.Status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

}  // namespace

NTSTATUS DispatchSetInformation(PDEVICE_OBJECT device, PIRP irp) {
  RequestScope in_flight;
  FilterExtension* extension = FilterOf(device);
  if (extension == nullptr) return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  switch (IoGetCurrentIrpStackLocation(irp)->Parameters.SetFile.FileInformationClass) {
    case FileRenameInformation:
      return ApplyRenameRule(device, extension, irp);
    case FileEndOfFileInformation:
    case FileAllocationInformation:
      return ChangeSize(device, extension, irp);
    default:
      return PassThrough(device, irp);
  }
}

}  // namespace tavik::morvel
