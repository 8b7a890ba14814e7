// User file-system requests (IRP_MN_USER_FS_REQUEST) on an open file or folder of a model volume: compression,
// sparseness and encryption. Each is only its attribute in the side store; the bytes on disk stay as written.
#include <cstring>

#include "fs/model_fs.h"

namespace xp::ntos::fs {
namespace {

// A change the store could not keep is no change.
NTSTATUS ChangeAttribute(Fcb& fcb, ULONG attribute, bool set) {
  const ULONG before = fcb.record.attributes;
  fcb.record.attributes = set ? (before | attribute) : (before & ~attribute);
  const NTSTATUS status = SaveRecord(fcb);
  if (!NT_SUCCESS(status)) fcb.record.attributes = before;
  return status;
}

// A USHORT compression format; folders take it too (it is what their new files inherit on NTFS).
NTSTATUS SetCompression(Fcb& fcb, PIRP irp, ULONG input_length) {
  if (input_length < sizeof(USHORT)) return STATUS_INVALID_PARAMETER;
  USHORT format = 0;
  std::memcpy(&format, irp->AssociatedIrp.SystemBuffer, sizeof format);
  if (format != COMPRESSION_FORMAT_NONE && format != COMPRESSION_FORMAT_DEFAULT &&
      format != COMPRESSION_FORMAT_LZNT1) {
    return STATUS_INVALID_PARAMETER;
  }
  return ChangeAttribute(fcb, FILE_ATTRIBUTE_COMPRESSED, format != COMPRESSION_FORMAT_NONE);
}

// No input makes the file sparse. XP cannot make a file not sparse, so an input byte of FALSE is refused rather
// than taken as a request to set.
NTSTATUS SetSparse(Fcb& fcb, PIRP irp, ULONG input_length) {
  if (fcb.directory) return STATUS_INVALID_PARAMETER;
  if (input_length != 0 && *static_cast<const BOOLEAN*>(irp->AssociatedIrp.SystemBuffer) == FALSE) {
    return STATUS_INVALID_PARAMETER;
  }
  return ChangeAttribute(fcb, FILE_ATTRIBUTE_SPARSE_FILE, true);
}

// METHOD_NEITHER: the ENCRYPTION_BUFFER is the caller's own memory (checked by the I/O manager for user callers).
NTSTATUS SetEncryption(Fcb& fcb, PIO_STACK_LOCATION stack) {
  const void* input = stack->Parameters.FileSystemControl.Type3InputBuffer;
  if (stack->Parameters.FileSystemControl.InputBufferLength < sizeof(ENCRYPTION_BUFFER)) {
    return STATUS_BUFFER_TOO_SMALL;
  }
  if (input == nullptr) return STATUS_INVALID_PARAMETER;
  ULONG operation = 0;
  std::memcpy(&operation, input, sizeof operation);
  switch (operation) {
    case FILE_SET_ENCRYPTION:
    case FILE_CLEAR_ENCRYPTION:
      return ChangeAttribute(fcb, FILE_ATTRIBUTE_ENCRYPTED, operation == FILE_SET_ENCRYPTION);
    case STREAM_SET_ENCRYPTION:
    case STREAM_CLEAR_ENCRYPTION: return STATUS_NOT_IMPLEMENTED;  // per-stream state is not modelled
    default: return STATUS_INVALID_PARAMETER;
  }
}

}  // namespace

NTSTATUS UserFsRequest(PDEVICE_OBJECT device, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const ULONG code = stack->Parameters.FileSystemControl.FsControlCode;
  if (code != FSCTL_SET_COMPRESSION && code != FSCTL_SET_SPARSE && code != FSCTL_SET_ENCRYPTION) {
    return STATUS_INVALID_DEVICE_REQUEST;
  }
  Fcb* fcb = stack->FileObject != nullptr ? FcbOf(stack->FileObject) : nullptr;
  if (fcb == nullptr || fcb->volume) return STATUS_INVALID_PARAMETER;
  if (VcbOf(device)->read_only) return STATUS_MEDIA_WRITE_PROTECTED;
  const ULONG input_length = stack->Parameters.FileSystemControl.InputBufferLength;
  if (code == FSCTL_SET_COMPRESSION) return SetCompression(*fcb, irp, input_length);
  if (code == FSCTL_SET_SPARSE) return SetSparse(*fcb, irp, input_length);
  return SetEncryption(*fcb, stack);
}

}  // namespace xp::ntos::fs
