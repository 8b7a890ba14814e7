// Requests through a volume's device stack with the pass-through filter on top: mount and attach, opens, cached
// reads that become page-sized paging reads at the top of the stack, the end-of-file page, non-cached rules,
// and flushes that write whole pages.
#include "kernel_fixture.h"
#include "pass_through_filter.h"

namespace xp::ntos::testing {
namespace {

class StackTest : public KernelTest {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    kernel_->SetFsObserver([this](const FsRequest& request) { reached_.push_back(request); });
  }
  void LoadFilter() {
    ASSERT_EQ(kernel_->StartDriver(pass_through::DriverEntry, u"PassThrough", DriverKind::kFileSystem),
              STATUS_SUCCESS);
  }
  std::vector<FsRequest> PagingRequests(UCHAR major) const {
    std::vector<FsRequest> found;
    for (const FsRequest& request : reached_) {
      if (request.major == major && (request.irp_flags & IRP_PAGING_IO)) found.push_back(request);
    }
    return found;
  }
  std::vector<FsRequest> reached_;
};

TEST_F(StackTest, FilterLoadedAfterMountSitsOnTopOfTheVolume) {
  Opened before = OpenFile(u"\\??\\C:\\a.txt", FILE_CREATE);
  ASSERT_EQ(before.status, STATUS_SUCCESS);
  LoadFilter();
  EXPECT_TRUE(pass_through::IsFilterDevice(IoGetRelatedDeviceObject(kernel_->FileObjectOf(before.handle))));
  // D: mounts after the load: the filter's mount handler attaches to it.
  Opened later = OpenFile(u"\\??\\D:\\b.txt", FILE_CREATE);
  ASSERT_EQ(later.status, STATUS_SUCCESS);
  EXPECT_TRUE(pass_through::IsFilterDevice(IoGetRelatedDeviceObject(kernel_->FileObjectOf(later.handle))));
  EXPECT_EQ(NtClose(before.handle), STATUS_SUCCESS);
  EXPECT_EQ(NtClose(later.handle), STATUS_SUCCESS);
}

TEST_F(StackTest, CreateWriteReadCloseReachTheHostFile) {
  LoadFilter();
  const std::vector<uint8_t> data = Pattern(6000);
  Opened file = OpenFile(u"\\??\\C:\\notes.bin", FILE_CREATE);
  ASSERT_EQ(file.status, STATUS_SUCCESS);
  EXPECT_EQ(file.information, FILE_CREATED);
  EXPECT_EQ(Write(file.handle, data, 0), STATUS_SUCCESS);
  std::vector<uint8_t> back;
  EXPECT_EQ(Read(file.handle, &back, 10000, 0), STATUS_SUCCESS);
  EXPECT_EQ(back, data);
  EXPECT_EQ(NtClose(file.handle), STATUS_SUCCESS);
  kernel_->LazyWriterTick();
  EXPECT_EQ(HostBytes('C', "notes.bin"), data);
  Opened again = OpenFile(u"\\??\\C:\\notes.bin", FILE_OPEN_IF);
  EXPECT_EQ(again.information, FILE_OPENED);
  EXPECT_EQ(NtClose(again.handle), STATUS_SUCCESS);
}

TEST_F(StackTest, CachedReadFillsPagesWithPagingReadsThroughTheTop) {
  PutHostFile('C', "big.bin", Pattern(10000));
  LoadFilter();
  Opened file = OpenFile(u"\\??\\C:\\big.bin");
  ASSERT_EQ(file.status, STATUS_SUCCESS);
  pass_through::Reset();
  reached_.clear();
  std::vector<uint8_t> part;
  ASSERT_EQ(Read(file.handle, &part, 100, 5000), STATUS_SUCCESS);
  const std::vector<uint8_t> whole = Pattern(10000);
  EXPECT_EQ(part, std::vector<uint8_t>(whole.begin() + 5000, whole.begin() + 5100));
  const std::vector<FsRequest> paging = PagingRequests(IRP_MJ_READ);
  // The missing pages from the one asked for to the end of the file, in one run.
  ASSERT_EQ(paging.size(), 1u);
  EXPECT_EQ(paging[0].offset, 4096);
  EXPECT_EQ(paging[0].length, 8192u);
  EXPECT_EQ(paging[0].irp_flags & (IRP_NOCACHE | IRP_SYNCHRONOUS_PAGING_IO), IRP_NOCACHE | IRP_SYNCHRONOUS_PAGING_IO);
  // The filter on top saw the same paging read, and the first read itself as a cached IRP.
  bool filter_saw_paging = false;
  for (const pass_through::Seen& seen : pass_through::SeenRequests()) {
    if ((seen.irp_flags & IRP_PAGING_IO) && seen.offset == 4096 && seen.length == 8192) filter_saw_paging = true;
  }
  EXPECT_TRUE(filter_saw_paging);
  // Once cached, a read goes by fast I/O through the filter and needs no paging read.
  reached_.clear();
  ASSERT_EQ(Read(file.handle, &part, 100, 4200), STATUS_SUCCESS);
  EXPECT_GE(pass_through::FastReads(), 1);
  EXPECT_TRUE(PagingRequests(IRP_MJ_READ).empty());
  NtClose(file.handle);
}

TEST_F(StackTest, PagingReadOfTheLastPageReturnsTheBytesLeftAndZeroes) {
  const std::vector<uint8_t> data = Pattern(5000);
  PutHostFile('C', "five.bin", data);
  Opened file = OpenFile(u"\\??\\C:\\five.bin");
  std::vector<uint8_t> tail;
  ASSERT_EQ(Read(file.handle, &tail, 4096, 4096), STATUS_SUCCESS);
  EXPECT_EQ(tail.size(), 904u);
  const std::vector<FsRequest> paging = PagingRequests(IRP_MJ_READ);
  ASSERT_EQ(paging.size(), 1u);
  EXPECT_EQ(paging[0].offset, 4096);
  EXPECT_EQ(paging[0].information, 904u);
  const auto page = kernel_->PeekCachePage(kernel_->FileObjectOf(file.handle), 4096);
  ASSERT_TRUE(page.has_value());
  EXPECT_TRUE(std::equal(data.begin() + 4096, data.end(), page->begin()));
  EXPECT_TRUE(std::all_of(page->begin() + 904, page->end(), [](uint8_t b) { return b == 0; }));
  NtClose(file.handle);
}

TEST_F(StackTest, NonCachedReadsFollowTheSectorAndEndOfFileRules) {
  PutHostFile('C', "raw.bin", Pattern(5000));
  Opened file = OpenFile(u"\\??\\C:\\raw.bin", FILE_OPEN, FILE_NO_INTERMEDIATE_BUFFERING);
  ASSERT_EQ(file.status, STATUS_SUCCESS);
  struct Case {
    LONGLONG offset;
    ULONG length;
    NTSTATUS status;
    size_t bytes;
  };
  const Case cases[] = {
      {4096, 4096, STATUS_SUCCESS, 904}, {0, 512, STATUS_SUCCESS, 512},  {100, 512, STATUS_INVALID_PARAMETER, 0},
      {0, 100, STATUS_INVALID_PARAMETER, 0}, {5120, 512, STATUS_END_OF_FILE, 0}, {8192, 4096, STATUS_END_OF_FILE, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "offset " << c.offset << " length " << c.length);
    std::vector<uint8_t> got;
    EXPECT_EQ(Read(file.handle, &got, c.length, c.offset), c.status);
    EXPECT_EQ(got.size(), c.bytes);
  }
  EXPECT_TRUE(PagingRequests(IRP_MJ_READ).empty());
  NtClose(file.handle);
}

TEST_F(StackTest, FlushWritesNeighbouringDirtyPagesAsOneWholePagingWrite) {
  LoadFilter();
  const std::vector<uint8_t> data = Pattern(5000, 7);
  Opened file = OpenFile(u"\\??\\C:\\flush.bin", FILE_CREATE);
  ASSERT_EQ(Write(file.handle, data, 0), STATUS_SUCCESS);
  EXPECT_TRUE(kernel_->CachePageDirty(kernel_->FileObjectOf(file.handle), 4096));
  // Nothing reached the disk yet, not even the new length: a power loss now leaves the file as it was.
  EXPECT_EQ(HostBytes('C', "flush.bin"), std::vector<uint8_t>());
  IO_STATUS_BLOCK io_status{};
  ASSERT_EQ(NtFlushBuffersFile(file.handle, &io_status), STATUS_SUCCESS);
  const std::vector<FsRequest> writes = PagingRequests(IRP_MJ_WRITE);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].offset, 0);
  EXPECT_EQ(writes[0].length, 8192u);
  EXPECT_EQ(writes[0].information, 5000u);  // trimmed at the end of file
  EXPECT_EQ(HostBytes('C', "flush.bin"), data);
  EXPECT_FALSE(kernel_->CachePageDirty(kernel_->FileObjectOf(file.handle), 4096));
  NtClose(file.handle);
}

TEST_F(StackTest, ALongReadThatMissesIsOnePagingReadToItsEnd) {
  constexpr size_t kMiB = 1 << 20;
  const std::vector<uint8_t> data = Pattern(3 * kMiB + 100, 3);
  PutHostFile('C', "long.bin", data);
  Opened file = OpenFile(u"\\??\\C:\\long.bin");
  ASSERT_EQ(file.status, STATUS_SUCCESS);
  struct Case {
    LONGLONG offset;
    ULONG length;
    LONGLONG paging_offset;  // -1: no paging read
    ULONG paging_length;
  };
  const Case cases[] = {
      {8192, kMiB, 8192, kMiB},                 // the whole request in one run
      {8192, kMiB, -1, 0},                      // all cached now
      {kMiB, 64 * 1024, 8192 + kMiB, 57344},    // from the first page missing to the request's end
      {2 * kMiB, 4096, 2 * kMiB, 65536},        // a short read brings in the read-ahead
      {3 * kMiB, 100, 3 * kMiB, 4096},          // the end-of-file page
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "offset " << c.offset << " length " << c.length);
    reached_.clear();
    std::vector<uint8_t> got;
    ASSERT_EQ(Read(file.handle, &got, c.length, c.offset), STATUS_SUCCESS);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin() + c.offset));
    EXPECT_EQ(got.size(), c.length);
    const std::vector<FsRequest> paging = PagingRequests(IRP_MJ_READ);
    if (c.paging_offset < 0) {
      EXPECT_TRUE(paging.empty());
      continue;
    }
    ASSERT_EQ(paging.size(), 1u);
    EXPECT_EQ(paging[0].offset, c.paging_offset);
    EXPECT_EQ(paging[0].length, c.paging_length);
  }
  NtClose(file.handle);
}

// A write that covers two pages in part, one on each side of a 64 KiB boundary: both keep the rest of what the
// disk held, and the flush writes the two neighbours as one run.
TEST_F(StackTest, APartialWriteAcrossA64KiBBoundaryKeepsTheRestAndFlushesAsOneRun) {
  std::vector<uint8_t> data = Pattern(200000, 5);
  PutHostFile('C', "patch.bin", data);
  Opened file = OpenFile(u"\\??\\C:\\patch.bin");
  ASSERT_EQ(file.status, STATUS_SUCCESS);
  const std::vector<uint8_t> patch(20, 0xEE);
  ASSERT_EQ(Write(file.handle, patch, 65526), STATUS_SUCCESS);
  std::copy(patch.begin(), patch.end(), data.begin() + 65526);
  std::vector<uint8_t> back;
  ASSERT_EQ(Read(file.handle, &back, 200000, 0), STATUS_SUCCESS);
  EXPECT_TRUE(back == data);
  reached_.clear();
  IO_STATUS_BLOCK io_status{};
  ASSERT_EQ(NtFlushBuffersFile(file.handle, &io_status), STATUS_SUCCESS);
  const std::vector<FsRequest> writes = PagingRequests(IRP_MJ_WRITE);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].offset, 61440);
  EXPECT_EQ(writes[0].length, 8192u);
  NtClose(file.handle);
  kernel_.reset();
  EXPECT_TRUE(HostBytes('C', "patch.bin") == data);
}

}  // namespace
}  // namespace xp::ntos::testing
