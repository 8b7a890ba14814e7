// IRP machinery on a two-device stack of a test driver: completion routines run by their invoke flags,
// STATUS_MORE_PROCESSING_REQUIRED stops completion, pending requests complete from another thread, and the
// checks that stand in for the IRQL rules and structured exceptions.
#include <thread>

#include "kernel_fixture.h"

namespace xp::ntos::testing {
namespace {

struct Lower {
  NTSTATUS status = STATUS_SUCCESS;
  bool pend = false;
  std::thread completer;
};
Lower* lower_behaviour = nullptr;

NTSTATUS LowerDispatch(PDEVICE_OBJECT, PIRP irp) {
  irp->IoStatus.Status = lower_behaviour->status;
  irp->IoStatus.Information = 7;
  if (lower_behaviour->pend) {
    IoMarkIrpPending(irp);
    lower_behaviour->completer = std::thread([irp] { IoCompleteRequest(irp, IO_NO_INCREMENT); });
    return STATUS_PENDING;
  }
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return lower_behaviour->status;
}

NTSTATUS StackEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  for (PDRIVER_DISPATCH& slot : driver->MajorFunction) slot = LowerDispatch;
  driver->DriverUnload = [](PDRIVER_OBJECT) {};
  return STATUS_SUCCESS;
}

struct Seen {
  int calls = 0;
  bool pending_returned = false;
  PDEVICE_OBJECT device = nullptr;
  NTSTATUS answer = STATUS_SUCCESS;
};

NTSTATUS Record(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
  auto* seen = static_cast<Seen*>(context);
  ++seen->calls;
  seen->pending_returned = irp->PendingReturned;
  seen->device = device;
  return seen->answer;
}

class IrpTest : public KernelTest {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    ASSERT_EQ(kernel_->StartDriver(StackEntry, u"IrpStack", DriverKind::kDevice), STATUS_SUCCESS);
    PDRIVER_OBJECT driver = kernel_->Driver(u"IrpStack");
    ASSERT_EQ(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &bottom_), STATUS_SUCCESS);
    ASSERT_EQ(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &top_), STATUS_SUCCESS);
    PDEVICE_OBJECT below = nullptr;
    ASSERT_EQ(IoAttachDeviceToDeviceStackSafe(top_, bottom_, &below), STATUS_SUCCESS);
    EXPECT_EQ(below, bottom_);
    EXPECT_EQ(top_->StackSize, 2);
    lower_behaviour = &lower_;
  }
  void TearDown() override {
    if (lower_.completer.joinable()) lower_.completer.join();
    IoDetachDevice(bottom_);
    IoDeleteDevice(top_);
    IoDeleteDevice(bottom_);
    KernelTest::TearDown();
  }
  // Sends an IRP to the bottom device with a completion routine set by `top_`'s location.
  NTSTATUS SendWithRoutine(Seen* seen, bool on_success, bool on_error, IO_STATUS_BLOCK* io_status, KEVENT* done,
                           PIRP* sent) {
    PIRP irp = IoAllocateIrp(top_->StackSize, FALSE);
    irp->UserIosb = io_status;
    irp->UserEvent = done;
    PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
    stack->MajorFunction = IRP_MJ_DEVICE_CONTROL;
    IoSetNextIrpStackLocation(irp);  // the location `top_` owns
    IoGetCurrentIrpStackLocation(irp)->DeviceObject = top_;
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, Record, seen, on_success, on_error, FALSE);
    *sent = irp;
    return IoCallDriver(bottom_, irp);
  }
  PDEVICE_OBJECT bottom_ = nullptr;
  PDEVICE_OBJECT top_ = nullptr;
  Lower lower_;
};

TEST_F(IrpTest, CompletionRoutinesRunByTheirInvokeFlags) {
  struct Case {
    NTSTATUS status;
    bool on_success;
    bool on_error;
    int calls;
  };
  const Case cases[] = {{STATUS_SUCCESS, true, false, 1},
                        {STATUS_SUCCESS, false, true, 0},
                        {STATUS_ACCESS_DENIED, false, true, 1},
                        {STATUS_ACCESS_DENIED, true, false, 0},
                        {STATUS_BUFFER_OVERFLOW, true, false, 0},  // a warning is not a success
                        {STATUS_BUFFER_OVERFLOW, false, true, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.status);
    lower_.status = c.status;
    Seen seen;
    IO_STATUS_BLOCK io_status{};
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    PIRP irp = nullptr;
    EXPECT_EQ(SendWithRoutine(&seen, c.on_success, c.on_error, &io_status, &done, &irp), c.status);
    EXPECT_EQ(seen.calls, c.calls);
    if (c.calls == 1) {
      EXPECT_EQ(seen.device, top_);
    }
    // Completion ran to the end: the caller's status block is filled and its event set.
    EXPECT_EQ(io_status.Status, c.status);
    EXPECT_EQ(io_status.Information, 7u);
    EXPECT_EQ(KeReadStateEvent(&done), 1);
  }
}

TEST_F(IrpTest, MoreProcessingRequiredStopsCompletion) {
  Seen seen;
  seen.answer = STATUS_MORE_PROCESSING_REQUIRED;
  IO_STATUS_BLOCK io_status{};
  io_status.Status = -1;
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  PIRP irp = nullptr;
  SendWithRoutine(&seen, true, true, &io_status, &done, &irp);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(io_status.Status, -1);  // nothing reached the caller
  EXPECT_EQ(KeReadStateEvent(&done), 0);
  EXPECT_EQ(irp->IoStatus.Information, 7u);  // the IRP is the routine's owner's again
  IoFreeIrp(irp);
}

TEST_F(IrpTest, PendingRequestCompletesFromAnotherThread) {
  lower_.pend = true;
  Seen seen;
  IO_STATUS_BLOCK io_status{};
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  PIRP irp = nullptr;
  EXPECT_EQ(SendWithRoutine(&seen, true, true, &io_status, &done, &irp), STATUS_PENDING);
  EXPECT_EQ(KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
  lower_.completer.join();
  EXPECT_EQ(seen.calls, 1);
  EXPECT_TRUE(seen.pending_returned);
  EXPECT_EQ(io_status.Status, STATUS_SUCCESS);
}

TEST(KernelChecks, ProbeRaisesIntoTheInnermostHandler) {
  Kernel kernel;
  volatile NTSTATUS caught = STATUS_SUCCESS;
  XP_TRY {
    ProbeForRead(reinterpret_cast<void*>(0x10), 4, 1);
    caught = STATUS_UNSUCCESSFUL;
  }
  XP_EXCEPT(status) { caught = status; }
  XP_END_TRY
  EXPECT_EQ(caught, STATUS_ACCESS_VIOLATION);
  char buffer[8];
  XP_TRY { ProbeForWrite(buffer, sizeof buffer, 1); }
  XP_EXCEPT(status) { caught = status; }
  XP_END_TRY
  EXPECT_EQ(caught, STATUS_ACCESS_VIOLATION);  // unchanged: the valid probe raised nothing
}

TEST(KernelChecksDeathTest, PagedCodeAtDispatchLevelStopsTheMachine) {
  EXPECT_DEATH(
      {
        Kernel kernel;
        KSPIN_LOCK lock;
        KeInitializeSpinLock(&lock);
        KIRQL old_irql;
        KeAcquireSpinLock(&lock, &old_irql);
        PAGED_CODE();
      },
      "STOP: 0x0000000A");
}

TEST(KernelChecks, SpinLocksRaiseAndRestoreTheIrql) {
  Kernel kernel;
  KSPIN_LOCK lock;
  KeInitializeSpinLock(&lock);
  KLOCK_QUEUE_HANDLE handle;
  KeAcquireInStackQueuedSpinLock(&lock, &handle);
  EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
  KeReleaseInStackQueuedSpinLock(&handle);
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
  FAST_MUTEX mutex;
  ExInitializeFastMutex(&mutex);
  ExAcquireFastMutex(&mutex);
  EXPECT_EQ(KeGetCurrentIrql(), APC_LEVEL);
  EXPECT_FALSE(ExTryToAcquireFastMutex(&mutex));
  ExReleaseFastMutex(&mutex);
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
  // A 5-second relative delay moves the kernel's clock, not the test's.
  LARGE_INTEGER before, after, interval;
  KeQuerySystemTime(&before);
  interval.QuadPart = -50000000;
  KeDelayExecutionThread(KernelMode, FALSE, &interval);
  KeQuerySystemTime(&after);
  EXPECT_GE(after.QuadPart - before.QuadPart, 50000000);
}

}  // namespace
}  // namespace xp::ntos::testing
