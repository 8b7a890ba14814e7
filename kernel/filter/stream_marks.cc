// Stream marks: a per-stream context on the file system's stream header says that the stream is stored
// encrypted. It lives as long as the stream (the file system frees it through FreeMark). The driver also keeps
// every mark in a list of its own so that unload can write the marked streams' cached plaintext down through
// the filter and take its contexts off the streams before its code goes away.
#include "morvel_private.h"

namespace tavik::morvel {
namespace {

PVOID OwnerId() { return &State(); }

PFSRTL_ADVANCED_FCB_HEADER ContextHeader(PFILE_OBJECT file) {
  auto* header = static_cast<PFSRTL_ADVANCED_FCB_HEADER>(file->FsContext);
  if (header == nullptr || (header->Flags & FSRTL_FLAG_ADVANCED_HEADER) == 0 ||
      (header->Flags2 & FSRTL_FLAG2_SUPPORTS_FILTER_CONTEXTS) == 0) {
    return nullptr;
  }
  return header;
}

StreamMark* LookUp(PFSRTL_ADVANCED_FCB_HEADER header) {
  return reinterpret_cast<StreamMark*>(FsRtlLookupPerStreamContext(header, OwnerId(), nullptr));
}

// Called by the file system when the stream goes away.
void FreeMark(PVOID context) {
  RequestScope in_flight;
  auto* mark = static_cast<StreamMark*>(context);
  ExAcquireFastMutex(&State().marks_lock);
  RemoveEntryList(&mark->all_marks);
  ExReleaseFastMutex(&State().marks_lock);
  ExFreePoolWithTag(mark, kTagMark);
}

}  // namespace

StreamMark* MarkOf(PFILE_OBJECT file) {
  if (file == nullptr) return nullptr;
  PFSRTL_ADVANCED_FCB_HEADER header = ContextHeader(file);
  return header != nullptr ? LookUp(header) : nullptr;
}

bool MarkStreamEncrypted(PFILE_OBJECT file) {
  PFSRTL_ADVANCED_FCB_HEADER header = ContextHeader(file);
  if (header == nullptr) return false;
  auto* mark = static_cast<StreamMark*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(StreamMark), kTagMark));
  if (mark == nullptr) return false;
  RtlZeroMemory(mark, sizeof *mark);
  FsRtlInitPerStreamContext(&mark->context, OwnerId(), nullptr, FreeMark);
  mark->header = header;
  mark->section = file->SectionObjectPointer;
  mark->encoded_size = header->FileSize.QuadPart;
  KeInitializeEvent(&mark->size_change_lock, SynchronizationEvent, TRUE);

  // Two opens of one stream must not both attach a mark.
  ExAcquireFastMutex(&State().marks_lock);
  const bool attached = LookUp(header) == nullptr && NT_SUCCESS(FsRtlInsertPerStreamContext(header, &mark->context));
  if (attached) InsertTailList(&State().marks, &mark->all_marks);
  ExReleaseFastMutex(&State().marks_lock);
  if (!attached) ExFreePoolWithTag(mark, kTagMark);
  return attached;
}

void FlushMarkedStreams() {
  PAGED_CODE();
  DriverState& state = State();
  // The file system frees a stream's mark under this lock too, so the streams walked here stay alive.
  ExAcquireFastMutex(&state.marks_lock);
  for (PLIST_ENTRY entry = state.marks.Flink; entry != &state.marks; entry = entry->Flink) {
    StreamMark* mark = CONTAINING_RECORD(entry, StreamMark, all_marks);
    IO_STATUS_BLOCK flushed;
    CcFlushCache(mark->section, nullptr, 0, &flushed);
    CcPurgeCacheSection(mark->section, nullptr, 0, FALSE);
  }
  ExReleaseFastMutex(&state.marks_lock);
}

void ReleaseAllMarks() {
  DriverState& state = State();
  ExAcquireFastMutex(&state.marks_lock);
  while (!IsListEmpty(&state.marks)) {
    StreamMark* mark = CONTAINING_RECORD(RemoveHeadList(&state.marks), StreamMark, all_marks);
    InitializeListHead(&mark->all_marks);
    // A mark the file system is freeing right now is no longer on its stream; FreeMark finishes it.
    if (FsRtlRemovePerStreamContext(mark->header, OwnerId(), nullptr) != nullptr) {
      ExFreePoolWithTag(mark, kTagMark);
    }
  }
  ExReleaseFastMutex(&state.marks_lock);
}

}  // namespace tavik::morvel
