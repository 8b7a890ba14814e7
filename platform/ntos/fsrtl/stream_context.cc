// Per-stream contexts: filters hang their own data on a stream's advanced header; the file system tears them
// down (calling each context's free routine) when the stream's header goes away.
#include "ddk/ntifs.h"

namespace {

class HeaderLock {
 public:
  explicit HeaderLock(PFSRTL_ADVANCED_FCB_HEADER header) : mutex_(header->FastMutex) { ExAcquireFastMutex(mutex_); }
  ~HeaderLock() { ExReleaseFastMutex(mutex_); }

 private:
  PFAST_MUTEX mutex_;
};

bool Matches(PFSRTL_PER_STREAM_CONTEXT context, PVOID owner, PVOID instance) {
  return (owner == nullptr || context->OwnerId == owner) && (instance == nullptr || context->InstanceId == instance);
}

}  // namespace

extern "C" {

// Exported by the kernel model.
void FsRtlSetupAdvancedHeader(PFSRTL_ADVANCED_FCB_HEADER header, PFAST_MUTEX fast_mutex) {
  header->Flags |= FSRTL_FLAG_ADVANCED_HEADER;
  header->Flags2 |= FSRTL_FLAG2_SUPPORTS_FILTER_CONTEXTS;
  header->FastMutex = fast_mutex;
  InitializeListHead(&header->FilterContexts);
}

NTSTATUS FsRtlInsertPerStreamContext(PFSRTL_ADVANCED_FCB_HEADER header, PFSRTL_PER_STREAM_CONTEXT context) {
  if (header == nullptr || (header->Flags2 & FSRTL_FLAG2_SUPPORTS_FILTER_CONTEXTS) == 0) {
    return STATUS_INVALID_DEVICE_REQUEST;
  }
  HeaderLock lock(header);
  InsertHeadList(&header->FilterContexts, &context->Links);
  return STATUS_SUCCESS;
}

PFSRTL_PER_STREAM_CONTEXT FsRtlLookupPerStreamContextInternal(PFSRTL_ADVANCED_FCB_HEADER header, PVOID owner,
                                                              PVOID instance) {
  HeaderLock lock(header);
  for (PLIST_ENTRY entry = header->FilterContexts.Flink; entry != &header->FilterContexts; entry = entry->Flink) {
    auto* context = CONTAINING_RECORD(entry, FSRTL_PER_STREAM_CONTEXT, Links);
    if (Matches(context, owner, instance)) return context;
  }
  return nullptr;
}

PFSRTL_PER_STREAM_CONTEXT FsRtlRemovePerStreamContext(PFSRTL_ADVANCED_FCB_HEADER header, PVOID owner,
                                                      PVOID instance) {
  if ((header->Flags2 & FSRTL_FLAG2_SUPPORTS_FILTER_CONTEXTS) == 0) return nullptr;
  HeaderLock lock(header);
  for (PLIST_ENTRY entry = header->FilterContexts.Flink; entry != &header->FilterContexts; entry = entry->Flink) {
    auto* context = CONTAINING_RECORD(entry, FSRTL_PER_STREAM_CONTEXT, Links);
    if (Matches(context, owner, instance)) {
      RemoveEntryList(entry);
      return context;
    }
  }
  return nullptr;
}

void FsRtlTeardownPerStreamContexts(PFSRTL_ADVANCED_FCB_HEADER header) {
  for (;;) {
    PFSRTL_PER_STREAM_CONTEXT context = nullptr;
    {
      HeaderLock lock(header);
      if (IsListEmpty(&header->FilterContexts)) return;
      context = CONTAINING_RECORD(RemoveHeadList(&header->FilterContexts), FSRTL_PER_STREAM_CONTEXT, Links);
    }
    if (context->FreeCallback != nullptr) context->FreeCallback(context);
  }
}

}  // extern "C"
