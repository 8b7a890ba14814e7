// Loading and unloading: what the registry must hold for the driver to load, the link it makes, which file
// systems and volumes it attaches to, the fast-I/O pass-through, and what unload leaves behind (nothing), including
// when a request is still running in the driver and when protected files still have plaintext in the cache.
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "morvel_fixture.h"
#include "morvel_ioctl.h"
#include "xp/registry.h"

namespace tavik::morvel::testing {
namespace {

class LoadTest : public MorvelTest {
 protected:
  PDRIVER_OBJECT Driver() { return kernel_->Driver(kServiceName); }

  // This driver's devices with an extension: its filters.
  int FilterCount() {
    int count = 0;
    for (PDEVICE_OBJECT device = Driver()->DeviceObject; device != nullptr; device = device->NextDevice) {
      if (device->DeviceExtension != nullptr) ++count;
    }
    return count;
  }

  // The driver of the device an open file's requests go to first.
  PDRIVER_OBJECT TopDriverOf(const std::u16string& name) {
    const Opened file = Open(name, FILE_OPEN_IF);
    EXPECT_EQ(file.status, STATUS_SUCCESS);
    PDRIVER_OBJECT top = IoGetRelatedDeviceObject(kernel_->FileObjectOf(file.handle))->DriverObject;
    Close(file.handle);
    return top;
  }
};

TEST_F(LoadTest, LoadsWithTheExclusionKeyAlone) {
  SetRules(u"Exclusion", {u"\\WINDOWS"});
  Boot();
  EXPECT_EQ(LoadDriver(), STATUS_SUCCESS);
  EXPECT_TRUE(DebugLogHas("\nFilter loading \\Registry\\Machine\\System\\CurrentControlSet\\Services\\Morvel."));
  const Opened control = OpenControl();
  EXPECT_EQ(control.status, STATUS_SUCCESS);
  Close(control.handle);
}

// The setup program registers a file-system driver service "Morvel" whose image is morvel.sys in the system's
// drivers folder; starting the service runs DriverEntry.
TEST_F(LoadTest, StartsAsTheMorvelService) {
  StandardRegistry();
  MakeHostFolder('C', "WINDOWS/system32/drivers");
  std::filesystem::copy_file(DriverImage(), Host('C', "WINDOWS/system32/drivers/morvel.sys"));
  xp::registry::KeyId service = 0;
  ASSERT_EQ(xp::registry::CreateKey(xp::registry::kMachineKey, u"System\\CurrentControlSet\\Services\\Morvel",
                                    &service, nullptr),
            ERROR_SUCCESS);
  const std::vector<uint8_t> file_system_driver = {2, 0, 0, 0};
  ASSERT_EQ(xp::registry::SetValue(service, u"Type", REG_DWORD, file_system_driver), ERROR_SUCCESS);
  Boot();
  ASSERT_EQ(kernel_->LoadService(kServiceName), STATUS_SUCCESS);
  EXPECT_EQ(kernel_->Driver(kServiceName)->DriverName.Length, sizeof(u"\\FileSystem\\Morvel") - sizeof(char16_t));
  const Opened control = OpenControl();
  EXPECT_EQ(control.status, STATUS_SUCCESS);
  Close(control.handle);
}

TEST_F(LoadTest, DoesNotLoadWithoutTheExclusionKey) {
  SetRules(u"Inclusion", {u"\\Docs"});
  SetVolumes({kSerialC});
  Boot();
  EXPECT_EQ(LoadDriver(), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_FALSE(kernel_->DriverRunning(kServiceName));
  EXPECT_FALSE(NT_SUCCESS(OpenControl().status));
  for (const xp::ntos::PoolLeak& block : kernel_->OutstandingPool()) {
    EXPECT_NE(block.tag & 0xFFFFFF, 0x76724Du) << "the refused load kept pool";  // "Mrv?"
  }
}

TEST_F(LoadTest, ReplacesAStaleLink) {
  StandardRegistry();
  Boot();
  std::u16string link = kControlDeviceLink;
  std::u16string target = u"\\Device\\Gone";
  UNICODE_STRING link_name = xp::ntos::NtName(link);
  UNICODE_STRING target_name = xp::ntos::NtName(target);
  ASSERT_EQ(IoCreateSymbolicLink(&link_name, &target_name), STATUS_SUCCESS);
  ASSERT_EQ(LoadDriver(), STATUS_SUCCESS);
  const Opened control = OpenControl();
  EXPECT_EQ(control.status, STATUS_SUCCESS);
  Close(control.handle);
}

TEST_F(LoadTest, AttachesToDiskVolumesOnly) {
  AddDrive('B', 0x00B1B1B1);  // outside the letters the driver looks at while loading: mounted only later
  AddDrive('D', 0x00D1D1D1);
  AddDrive('E', 0x00E1E1E1, "cdrom");
  StandardRegistry();
  Boot();
  ASSERT_EQ(LoadDriver(), STATUS_SUCCESS);
  // The disk file system's control device, C: and D:; never the CD-ROM file system or its volume.
  EXPECT_EQ(FilterCount(), 3);
  EXPECT_EQ(TopDriverOf(u"\\??\\C:\\x.txt"), Driver());
  EXPECT_EQ(TopDriverOf(u"\\??\\D:\\x.txt"), Driver());
  // A volume mounted after the load gets its filter at the mount, once.
  EXPECT_EQ(TopDriverOf(u"\\??\\B:\\x.txt"), Driver());
  EXPECT_EQ(TopDriverOf(u"\\??\\B:\\y.txt"), Driver());
  EXPECT_EQ(FilterCount(), 4);
  const Opened cd = Open(u"\\??\\E:\\", FILE_OPEN, FILE_DIRECTORY_FILE, FILE_SHARE_READ, nullptr, FILE_LIST_DIRECTORY);
  ASSERT_EQ(cd.status, STATUS_SUCCESS);
  EXPECT_NE(IoGetRelatedDeviceObject(kernel_->FileObjectOf(cd.handle))->DriverObject, Driver());
  Close(cd.handle);
}

TEST_F(LoadTest, FastIoUsesOnlyWhatTheFileSystemBelowOffers) {
  StartWithKey();
  std::mutex lock;
  int reads_below = 0;
  kernel_->SetFsObserver([&](const xp::ntos::FsRequest& request) {
    std::lock_guard<std::mutex> guard(lock);
    if (request.major == IRP_MJ_READ && (request.irp_flags & IRP_PAGING_IO) == 0) ++reads_below;
  });
  const Opened file = Open(u"\\??\\C:\\Docs\\f.txt");
  ASSERT_EQ(Write(file.handle, Pattern(100), 0), STATUS_SUCCESS);
  Bytes data;
  ASSERT_EQ(Read(file.handle, &data, 100, 0), STATUS_SUCCESS);
  EXPECT_EQ(reads_below, 0);  // served from the cache through fast I/O
  PFAST_IO_DISPATCH below = kernel_->FsFastIoDispatch();
  const ULONG size = below->SizeOfFastIoDispatch;
  below->SizeOfFastIoDispatch = offsetof(FAST_IO_DISPATCH, FastIoRead);
  ASSERT_EQ(Read(file.handle, &data, 100, 0), STATUS_SUCCESS);
  EXPECT_EQ(data, Pattern(100));
  EXPECT_EQ(reads_below, 1);  // the slot is past the table's size: the request came as an IRP
  below->SizeOfFastIoDispatch = size;
  Close(file.handle);
  kernel_->SetFsObserver(nullptr);
}

TEST_F(LoadTest, UnloadLeavesNothingBehind) {
  StartWithKey();
  ASSERT_EQ(WriteFile(u"\\??\\C:\\Docs\\a.doc", Pattern(3000)), STATUS_SUCCESS);
  std::vector<xp::ntos::PoolLeak> leaks;
  ASSERT_EQ(UnloadDriver(&leaks), STATUS_SUCCESS);
  EXPECT_TRUE(leaks.empty());
  EXPECT_FALSE(kernel_->DriverRunning(kServiceName));
  EXPECT_FALSE(NT_SUCCESS(OpenControl().status));
  // Without the driver the file system serves the disk's bytes.
  EXPECT_EQ(ReadFile(u"\\??\\C:\\Docs\\a.doc"), Encrypted(Pattern(3000)));
}

TEST_F(LoadTest, UnloadWritesCachedPlaintextDownEncrypted) {
  StartWithKey();
  const Opened file = Open(u"\\??\\C:\\Docs\\late.doc", FILE_OVERWRITE_IF);
  ASSERT_EQ(Write(file.handle, Pattern(5000, 4), 0), STATUS_SUCCESS);
  Close(file.handle);  // the cache still holds the data, not yet written
  ASSERT_EQ(UnloadDriver(), STATUS_SUCCESS);
  kernel_.reset();  // shutdown writes back whatever is left
  EXPECT_EQ(HostBytes('C', "Docs/late.doc"), Encrypted(Pattern(5000, 4)));
}

TEST_F(LoadTest, UnloadWaitsForARequestStillInTheDriver) {
  StartWithKey();
  PutHostFile('C', "WINDOWS/plain.bin", Pattern(4096, 6));
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> held{false};
  kernel_->SetFsObserver([&](const xp::ntos::FsRequest& request) {
    if (request.major == IRP_MJ_READ && (request.irp_flags & IRP_NOCACHE) != 0 && !held.exchange(true)) {
      entered.set_value();
      released.wait();
    }
  });
  const Opened file = Open(u"\\??\\C:\\WINDOWS\\plain.bin", FILE_OPEN, FILE_NO_INTERMEDIATE_BUFFERING);
  ASSERT_EQ(file.status, STATUS_SUCCESS);
  xp::ntos::Kernel* kernel = kernel_.get();
  auto reader = std::async(std::launch::async, [&] {
    kernel->MakeCurrent();
    Bytes data;
    const NTSTATUS status = Read(file.handle, &data, 4096, 0);
    return status == STATUS_SUCCESS && data == Pattern(4096, 6);
  });
  entered.get_future().wait();  // the read is inside the driver, waiting for the file system below
  auto unloader = std::async(std::launch::async, [&] {
    kernel->MakeCurrent();
    return UnloadDriver();
  });
  // The unload says when it starts to wait for the read; an unload that does not wait returns instead.
  const auto unloaded = [&] { return unloader.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
  while (!DebugLogHas("\nWaiting for 1 requests in the driver") && !unloaded()) std::this_thread::yield();
  EXPECT_FALSE(unloaded());
  release.set_value();
  EXPECT_TRUE(reader.get());
  EXPECT_EQ(unloader.get(), STATUS_SUCCESS);
  kernel_->SetFsObserver(nullptr);
  Close(file.handle);
}

}  // namespace
}  // namespace tavik::morvel::testing
