// File-system filter callbacks: a filter registers pre and post routines; a cache flush calls every
// PreAcquireForCcFlush from the top of the stream's stack down, the file system's AcquireForCcFlush, then the
// post routines from the bottom up (and the same for the release).
#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "include/internal/fsrtl.h"
#include "include/internal/kernel_state.h"

namespace xp::ntos::fsrtl {
namespace {

struct PendingPost {
  PFS_FILTER_COMPLETION_CALLBACK post;
  FS_FILTER_CALLBACK_DATA data;
  PVOID context;
};

NTSTATUS RunAround(PFILE_OBJECT file, bool acquire) {
  KernelState& state = State();
  std::vector<PendingPost> posts;
  PDEVICE_OBJECT device = IoGetRelatedDeviceObject(file);
  NTSTATUS status = STATUS_SUCCESS;
  for (; device->DeviceObjectExtension->AttachedTo != nullptr; device = device->DeviceObjectExtension->AttachedTo) {
    FS_FILTER_CALLBACKS callbacks{};
    {
      std::lock_guard<std::recursive_mutex> guard(state.lock);
      const auto found = state.filter_callbacks.find(device->DriverObject);
      if (found == state.filter_callbacks.end()) continue;
      callbacks = found->second;
    }
    FS_FILTER_CALLBACK_DATA data{};
    data.SizeOfFsFilterCallbackData = sizeof data;
    data.Operation = acquire ? FS_FILTER_ACQUIRE_FOR_CC_FLUSH : FS_FILTER_RELEASE_FOR_CC_FLUSH;
    data.DeviceObject = device;
    data.FileObject = file;
    PFS_FILTER_CALLBACK pre = acquire ? callbacks.PreAcquireForCcFlush : callbacks.PreReleaseForCcFlush;
    PFS_FILTER_COMPLETION_CALLBACK post = acquire ? callbacks.PostAcquireForCcFlush : callbacks.PostReleaseForCcFlush;
    PVOID context = nullptr;
    if (pre != nullptr) {
      status = pre(&data, &context);
      if (!NT_SUCCESS(status)) break;
    }
    if (post != nullptr) posts.push_back(PendingPost{post, data, context});
  }
  if (NT_SUCCESS(status)) {
    PFAST_IO_DISPATCH fast_io = device->DriverObject->FastIoDispatch;
    const size_t slot = acquire ? offsetof(FAST_IO_DISPATCH, AcquireForCcFlush)
                                : offsetof(FAST_IO_DISPATCH, ReleaseForCcFlush);
    if (fast_io != nullptr && fast_io->SizeOfFastIoDispatch > slot) {
      auto routine = *reinterpret_cast<PFAST_IO_ACQUIRE_FOR_CCFLUSH*>(reinterpret_cast<char*>(fast_io) + slot);
      if (routine != nullptr) status = routine(file, device);
    }
  }
  for (auto it = posts.rbegin(); it != posts.rend(); ++it) it->post(&it->data, status, it->context);
  return status;
}

}  // namespace

NTSTATUS AcquireForCcFlush(PFILE_OBJECT file) { return RunAround(file, true); }
void ReleaseForCcFlush(PFILE_OBJECT file) { RunAround(file, false); }

}  // namespace xp::ntos::fsrtl

using namespace xp::ntos;

extern "C" {

// Exported by the kernel model.
NTSTATUS FsRtlRegisterFileSystemFilterCallbacks(PDRIVER_OBJECT driver, PFS_FILTER_CALLBACKS callbacks) {
  if (driver == nullptr || callbacks == nullptr || callbacks->SizeOfFsFilterCallbacks < sizeof(ULONG) * 2) {
    return STATUS_INVALID_PARAMETER;
  }
  FS_FILTER_CALLBACKS copy{};
  std::memcpy(&copy, callbacks, std::min<size_t>(callbacks->SizeOfFsFilterCallbacks, sizeof copy));
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  State().filter_callbacks[driver] = copy;
  return STATUS_SUCCESS;
}

}  // extern "C"
