// Directory queries, flushes, device controls and user file-system requests. Device controls try the top driver's
// FastIoDeviceControl first; both controls check the code's access bits against the handle and move buffers by
// the code's method (METHOD_BUFFERED copies back at most the caller's output length).
#include <algorithm>
#include <cstring>

#include "include/internal/io.h"
#include "include/internal/io_calls.h"
#include "include/internal/ke.h"

namespace xp::ntos::io {
namespace {

ACCESS_MASK AccessForCode(ULONG control_code) {
  const ULONG bits = (control_code >> 14) & 3;
  return ((bits & FILE_READ_ACCESS) ? FILE_READ_DATA : 0) | ((bits & FILE_WRITE_ACCESS) ? FILE_WRITE_DATA : 0);
}

// Checks the buffers and the handle's access for the code's access bits; on success `*file` is referenced.
NTSTATUS ReferenceForControl(HANDLE handle, ULONG control_code, PVOID input, ULONG input_length, PVOID output,
                             ULONG output_length, PFILE_OBJECT* file) {
  const KPROCESSOR_MODE mode = ke::PreviousMode();
  if (mode == UserMode && (!ValidUserRange(input, input_length) || !ValidUserRange(output, output_length))) {
    return STATUS_ACCESS_VIOLATION;
  }
  ACCESS_MASK granted = 0;
  const NTSTATUS status = ReferenceFileByHandle(handle, file, &granted);
  if (!NT_SUCCESS(status)) return status;
  const ACCESS_MASK needed = AccessForCode(control_code);
  if (mode == UserMode && (granted & needed) != needed) {
    ObDereferenceObject(*file);
    return STATUS_ACCESS_DENIED;
  }
  return STATUS_SUCCESS;
}

// Sends a device or file-system control IRP with its buffers laid out by the code's method. The two majors
// share the layout of their parameters.
NTSTATUS SendControl(PDEVICE_OBJECT top, PFILE_OBJECT file, UCHAR major, UCHAR minor, PIO_STATUS_BLOCK io_status,
                     ULONG control_code, PVOID input, ULONG input_length, PVOID output, ULONG output_length) {
  PIRP irp = BuildIrp(top, file, major, minor);
  irp->Flags = IRP_SYNCHRONOUS_API;
  PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
  stack->Parameters.DeviceIoControl.IoControlCode = control_code;
  stack->Parameters.DeviceIoControl.InputBufferLength = input_length;
  stack->Parameters.DeviceIoControl.OutputBufferLength = output_length;
  const ULONG method = METHOD_FROM_CTL_CODE(control_code);
  if (method == METHOD_NEITHER) {
    stack->Parameters.DeviceIoControl.Type3InputBuffer = input;
    irp->UserBuffer = output;
  } else {
    const ULONG system_length = method == METHOD_BUFFERED ? std::max(input_length, output_length) : input_length;
    if (system_length != 0) {
      irp->AssociatedIrp.SystemBuffer = ExAllocatePoolWithTag(NonPagedPool, system_length, tag::kIoBuffer);
      if (irp->AssociatedIrp.SystemBuffer == nullptr) {
        IoFreeIrp(irp);
        ObDereferenceObject(file);  // the IRP's reference
        return STATUS_INSUFFICIENT_RESOURCES;
      }
      std::memset(irp->AssociatedIrp.SystemBuffer, 0, system_length);
      if (input_length != 0) std::memcpy(irp->AssociatedIrp.SystemBuffer, input, input_length);
      irp->Flags |= IRP_BUFFERED_IO | IRP_DEALLOCATE_BUFFER;
    }
    if (method == METHOD_BUFFERED) {
      if (output_length != 0) irp->Flags |= IRP_INPUT_OPERATION;
      irp->UserBuffer = output;
      ExtraOf(irp)->user_buffer_length = output_length;
    } else if (output_length != 0) {
      IoAllocateMdl(output, output_length, FALSE, FALSE, irp);
      irp->MdlAddress->MdlFlags |= MDL_PAGES_LOCKED;
    }
  }
  ULONG_PTR transferred = 0;
  const NTSTATUS status = Send(top, irp, &transferred);
  io_status->Status = status;
  io_status->Information = transferred;
  return status;
}

}  // namespace

NTSTATUS QueryDirectory(HANDLE handle, PIO_STATUS_BLOCK io_status, PVOID information, ULONG length,
                        FILE_INFORMATION_CLASS information_class, BOOLEAN return_single_entry,
                        PUNICODE_STRING file_name, BOOLEAN restart_scan) {
  const KPROCESSOR_MODE mode = ke::PreviousMode();
  if (mode == UserMode && !ValidUserRange(information, length)) return STATUS_ACCESS_VIOLATION;
  PFILE_OBJECT file = nullptr;
  ACCESS_MASK granted = 0;
  NTSTATUS status = ReferenceFileByHandle(handle, &file, &granted);
  if (!NT_SUCCESS(status)) return status;
  if (mode == UserMode && (granted & FILE_LIST_DIRECTORY) == 0) {
    ObDereferenceObject(file);
    return STATUS_ACCESS_DENIED;
  }
  std::u16string pattern(rtl::View(file_name));
  UNICODE_STRING counted{static_cast<USHORT>(pattern.size() * sizeof(WCHAR)),
                         static_cast<USHORT>(pattern.size() * sizeof(WCHAR)), pattern.data()};
  PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);
  PIRP irp = BuildIrp(top, file, IRP_MJ_DIRECTORY_CONTROL, IRP_MN_QUERY_DIRECTORY);
  irp->Flags = IRP_SYNCHRONOUS_API;
  irp->UserBuffer = information;
  PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
  stack->Flags = (restart_scan ? SL_RESTART_SCAN : 0) | (return_single_entry ? SL_RETURN_SINGLE_ENTRY : 0);
  stack->Parameters.QueryDirectory.Length = length;
  stack->Parameters.QueryDirectory.FileName = file_name != nullptr ? &counted : nullptr;
  stack->Parameters.QueryDirectory.FileInformationClass = information_class;
  ULONG_PTR transferred = 0;
  status = Send(top, irp, &transferred);
  io_status->Status = status;
  io_status->Information = transferred;
  ObDereferenceObject(file);
  return status;
}

NTSTATUS FlushBuffers(HANDLE handle, PIO_STATUS_BLOCK io_status) {
  PFILE_OBJECT file = nullptr;
  ACCESS_MASK granted = 0;
  NTSTATUS status = ReferenceFileByHandle(handle, &file, &granted);
  if (!NT_SUCCESS(status)) return status;
  if (ke::PreviousMode() == UserMode && (granted & (FILE_WRITE_DATA | FILE_APPEND_DATA)) == 0) {
    ObDereferenceObject(file);
    return STATUS_ACCESS_DENIED;
  }
  PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);
  PIRP irp = BuildIrp(top, file, IRP_MJ_FLUSH_BUFFERS, 0);
  irp->Flags = IRP_SYNCHRONOUS_API;
  ULONG_PTR transferred = 0;
  status = Send(top, irp, &transferred);
  io_status->Status = status;
  io_status->Information = transferred;
  ObDereferenceObject(file);
  return status;
}

NTSTATUS DeviceIoControl(HANDLE handle, PIO_STATUS_BLOCK io_status, ULONG control_code, PVOID input,
                         ULONG input_length, PVOID output, ULONG output_length) {
  PFILE_OBJECT file = nullptr;
  NTSTATUS status = ReferenceForControl(handle, control_code, input, input_length, output, output_length, &file);
  if (!NT_SUCCESS(status)) return status;
  PDEVICE_OBJECT top = IoGetRelatedDeviceObject(file);
  PFAST_IO_DISPATCH fast_io = top->DriverObject->FastIoDispatch;
  if (fast_io != nullptr && fast_io->SizeOfFastIoDispatch > offsetof(FAST_IO_DISPATCH, FastIoDeviceControl) &&
      fast_io->FastIoDeviceControl != nullptr) {
    IO_STATUS_BLOCK fast_status{};
    if (fast_io->FastIoDeviceControl(file, TRUE, input, input_length, output, output_length, control_code,
                                     &fast_status, top)) {
      *io_status = fast_status;
      ObDereferenceObject(file);
      return fast_status.Status;
    }
  }
  status = SendControl(top, file, IRP_MJ_DEVICE_CONTROL, 0, io_status, control_code, input, input_length, output,
                       output_length);
  ObDereferenceObject(file);
  return status;
}

NTSTATUS FsControl(HANDLE handle, PIO_STATUS_BLOCK io_status, ULONG control_code, PVOID input, ULONG input_length,
                   PVOID output, ULONG output_length) {
  PFILE_OBJECT file = nullptr;
  NTSTATUS status = ReferenceForControl(handle, control_code, input, input_length, output, output_length, &file);
  if (!NT_SUCCESS(status)) return status;
  // The top of the volume's stack, so filters above the file system see the request.
  status = SendControl(IoGetRelatedDeviceObject(file), file, IRP_MJ_FILE_SYSTEM_CONTROL, IRP_MN_USER_FS_REQUEST,
                       io_status, control_code, input, input_length, output, output_length);
  ObDereferenceObject(file);
  return status;
}

}  // namespace xp::ntos::io
