// Size changes of protected files. The encrypted format depends on the file's length only at its end: the last
// (length mod 16) bytes follow the tail rule, every block before them is plain AES. So when a protected file gets
// shorter or longer, the block that held the old end and the block that holds the new one must be encoded again,
// and a longer file's new bytes must be stored as encrypted zeros. Before the change goes down the plaintext of
// the boundary block is read (the cache written back first, then the disk decoded for the old size); after it,
// the affected range is written again, encoded for the new size, straight to the file below the filter.
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

constexpr LONGLONG kBlock = 16;
constexpr ULONG kRewriteChunk = 64 * 1024;

LONGLONG BlockFloor(LONGLONG value) { return value / kBlock * kBlock; }

PFSRTL_COMMON_FCB_HEADER HeaderOf(PFILE_OBJECT file) { return static_cast<PFSRTL_COMMON_FCB_HEADER>(file->FsContext); }

// Writes the cached pages of [offset, offset + length) down (length 0: to the end of the stream).
NTSTATUS FlushCachedRange(PFILE_OBJECT file, LONGLONG offset, ULONG length) {
  if (file->SectionObjectPointer == nullptr) return STATUS_SUCCESS;
  LARGE_INTEGER start;
  start.QuadPart = offset;
  IO_STATUS_BLOCK flushed{};
  CcFlushCache(file->SectionObjectPointer, &start, length, &flushed);
  return flushed.Status;
}

// Writes [from, to) to the disk encoded for a file of `encoded_size` bytes: the plaintext `head` first, zeros
// after it.
NTSTATUS WriteEncoded(FilterExtension* extension, PFILE_OBJECT file, LONGLONG from, LONGLONG to,
                      LONGLONG encoded_size, const UCHAR* head, ULONG head_length) {
  auto* buffer = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPool, kRewriteChunk, kTagBuffer));
  if (buffer == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  NTSTATUS status = STATUS_SUCCESS;
  for (LONGLONG position = from; position < to && NT_SUCCESS(status); position += kRewriteChunk) {
    const ULONG chunk = to - position < kRewriteChunk ? static_cast<ULONG>(to - position) : kRewriteChunk;
    RtlZeroMemory(buffer, chunk);
    if (position == from) RtlCopyMemory(buffer, head, head_length);
    if (!EncryptRange(buffer, chunk, position, encoded_size)) {
      status = STATUS_ACCESS_DENIED;
      break;
    }
    status = TransferRaw(extension->lower, file, IRP_MJ_WRITE, buffer, position, chunk, nullptr);
  }
  ExFreePoolWithTag(buffer, kTagBuffer);
  return status;
}

void ReleaseSizeChangeLock(StreamMark* mark) { KeSetEvent(&mark->size_change_lock, IO_NO_INCREMENT, FALSE); }

}  // namespace

NTSTATUS PrepareSizeChange(FilterExtension* extension, PFILE_OBJECT file, StreamMark* mark, LONGLONG new_size,
                           SizeChange* change) {
  PAGED_CODE();
  KeWaitForSingleObject(&mark->size_change_lock, Executive, KernelMode, FALSE, nullptr);
  const LONGLONG old_size = HeaderOf(file)->FileSize.QuadPart;
  const LONGLONG lower_end = new_size < old_size ? new_size : old_size;
  change->mark = mark;
  change->old_size = old_size;
  change->boundary = BlockFloor(lower_end);
  RtlZeroMemory(change->boundary_plain, sizeof change->boundary_plain);
  const ULONG kept = static_cast<ULONG>(lower_end - change->boundary);
  if (kept == 0 || new_size == old_size) return STATUS_SUCCESS;

  // What the cache holds for the block reaches the disk first; then the disk holds the latest bytes.
  NTSTATUS status = FlushCachedRange(file, change->boundary, kBlock);
  auto* block = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPool, kBlock, kTagBuffer));
  if (block == nullptr) status = STATUS_INSUFFICIENT_RESOURCES;
  if (NT_SUCCESS(status)) {
    RtlZeroMemory(block, kBlock);
    status = TransferRaw(extension->lower, file, IRP_MJ_READ, block, change->boundary, kBlock, nullptr);
  }
  if (NT_SUCCESS(status) && !DecryptRange(block, kBlock, change->boundary, mark->encoded_size)) {
    status = STATUS_ACCESS_DENIED;
  }
  if (NT_SUCCESS(status)) RtlCopyMemory(change->boundary_plain, block, kept);
  if (block != nullptr) ExFreePoolWithTag(block, kTagBuffer);
  if (!NT_SUCCESS(status)) ReleaseSizeChangeLock(mark);
  return status;
}

NTSTATUS FinishSizeChange(FilterExtension* extension, PFILE_OBJECT file, SizeChange* change, LONGLONG data_start) {
  PAGED_CODE();
  StreamMark* mark = change->mark;
  const LONGLONG old_size = change->old_size;
  const LONGLONG new_size = HeaderOf(file)->FileSize.QuadPart;
  NTSTATUS status = STATUS_SUCCESS;
  if (new_size < old_size) {
    // The new end's block becomes the tail.
    if (new_size > change->boundary) {
      status = WriteEncoded(extension, file, change->boundary, new_size, new_size, change->boundary_plain,
                            static_cast<ULONG>(new_size - change->boundary));
    }
  } else if (new_size > old_size) {
    // The old end's block and the new zeros up to the request's own data are written here; the data itself,
    // with a block it shares with older bytes, is in the cache and goes down from there now.
    const LONGLONG data_begins = data_start < new_size ? data_start : new_size;
    const LONGLONG rewrite_end = data_begins < new_size ? BlockFloor(data_begins) : new_size;
    if (rewrite_end > change->boundary) {
      status = WriteEncoded(extension, file, change->boundary, rewrite_end, new_size, change->boundary_plain,
                            static_cast<ULONG>(old_size - change->boundary));
    }
    if (NT_SUCCESS(status) && rewrite_end < new_size) status = FlushCachedRange(file, rewrite_end, 0);
  }
  mark->encoded_size = new_size;
  ReleaseSizeChangeLock(mark);
  return status;
}

}  // namespace tavik::morvel
