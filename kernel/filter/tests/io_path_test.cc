// The encrypting I/O path: what the file system receives (page by page), what lies on disk (exactly the setup
// library's encrypted format for the file's current length, whatever changed the length), what programs read
// back (plaintext, cached or not), files past 4 GiB, and the failures the path reports.
#include <fstream>
#include <functional>
#include <mutex>

#include "morvel_fixture.h"

namespace tavik::morvel::testing {
namespace {

class IoPathTest : public MorvelTest {
 protected:
  void SetUp() override { StartWithKey(); }

  // Keeps every request the file system completes from now on.
  void Record() {
    kernel_->SetFsObserver([this](const xp::ntos::FsRequest& request) {
      std::lock_guard<std::mutex> guard(lock_);
      requests_.push_back(request);
    });
  }
  std::vector<xp::ntos::FsRequest> PagingWrites() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<xp::ntos::FsRequest> writes;
    for (const auto& request : requests_) {
      if (request.major == IRP_MJ_WRITE && (request.irp_flags & IRP_PAGING_IO) != 0) writes.push_back(request);
    }
    return writes;
  }
  void TearDown() override {
    if (kernel_ != nullptr) kernel_->SetFsObserver(nullptr);
  }

  Bytes Slice(const Bytes& bytes, size_t from, size_t to) { return Bytes(bytes.begin() + from, bytes.begin() + to); }

  std::mutex lock_;
  std::vector<xp::ntos::FsRequest> requests_;
};

TEST_F(IoPathTest, APageWithTheEndOfTheFileEncryptsUpToTheEnd) {
  const Bytes plain = Pattern(5000);
  const Opened file = Open(u"\\??\\C:\\Docs\\five.doc", FILE_OVERWRITE_IF);
  Record();
  // A write that makes the file longer goes to disk at once, its two pages in one paging write.
  ASSERT_EQ(Write(file.handle, plain, 0), STATUS_SUCCESS);
  const std::vector<xp::ntos::FsRequest> writes = PagingWrites();
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].offset, 0);
  EXPECT_EQ(writes[0].length, 8192u);
  // 312 blocks and an 8-byte tail: the file's encrypted form up to its end.
  EXPECT_EQ(Slice(writes[0].data, 0, 5000), Encrypted(plain));
  EXPECT_EQ(HostBytes('C', "Docs/five.doc"), Encrypted(plain));
  // The cache's page still holds plaintext.
  const auto page = kernel_->PeekCachePage(kernel_->FileObjectOf(file.handle), 4096);
  ASSERT_TRUE(page.has_value());
  EXPECT_EQ(Slice(*page, 0, 904), Slice(plain, 4096, 5000));
  Close(file.handle);

  const Opened unbuffered = Open(u"\\??\\C:\\Docs\\five.doc", FILE_OPEN, FILE_NO_INTERMEDIATE_BUFFERING);
  Bytes data;
  ASSERT_EQ(Read(unbuffered.handle, &data, 4096, 4096), STATUS_SUCCESS);
  EXPECT_EQ(data, Slice(plain, 4096, 5000));
  Close(unbuffered.handle);
}

// The test key's file key K (the XCFK's first 16 bytes: marker "TavikXcf" interleaved with CFK bytes A0 A7 AE ..)
// and a known plaintext of two equal FIPS-197 blocks and the 5-byte tail "Tavik". The ciphertext was computed
// apart from this project: each block by another AES-128 implementation, the tail by hand from the FIPS-197 key
// expansion of K (bytes E[4], E[12], E[20], E[28], E[36] XORed in, then the 40 bits rotated left by 3).
TEST_F(IoPathTest, AKnownPlaintextLiesOnDiskAsComputedApart) {
  ASSERT_EQ(Bytes(Key().xcfk.begin(), Key().xcfk.begin() + 16), FromHex("54a061a7 76ae69b5 6bbc58c3 63ca66d1"));
  const Bytes plain = FromHex("00112233445566778899aabbccddeeff 00112233445566778899aabbccddeeff 546176696b");
  const Bytes cipher = FromHex("5c92366457f60caff06cb0c09e776cfd 5c92366457f60caff06cb0c09e776cfd 101109b561");
  ASSERT_EQ(WriteFile(u"\\??\\C:\\Docs\\known.doc", plain), STATUS_SUCCESS);
  EXPECT_EQ(HostBytes('C', "Docs/known.doc"), cipher);
  PutHostFile('C', "Docs/given.doc", cipher);
  EXPECT_EQ(ReadFile(u"\\??\\C:\\Docs\\given.doc"), plain);
}

// Any length, both ways: a file written through the machine is the setup library's encrypted form of it, and a
// file the setup library encrypted reads back as its plaintext, cached and not.
TEST_F(IoPathTest, FilesInterchangeWithTheSetupLibrary) {
  for (size_t size : {0, 1, 10, 15, 16, 31, 4095, 4096, 4104, 5000, 65541}) {
    SCOPED_TRACE(size);
    const Bytes plain = Pattern(size, static_cast<uint8_t>(size));
    ASSERT_EQ(WriteFile(u"\\??\\C:\\Docs\\w.bin", plain), STATUS_SUCCESS);
    EXPECT_EQ(HostBytes('C', "Docs/w.bin"), Encrypted(plain));
    EXPECT_EQ(Decrypted(HostBytes('C', "Docs/w.bin")), plain);

    // A file the driver has not seen before, put on the disk by the setup library.
    const std::string name = "r" + std::to_string(size) + ".bin";
    const std::u16string nt_name = u"\\??\\C:\\Docs\\" + std::u16string(name.begin(), name.end());
    PutHostFile('C', "Docs/" + name, Encrypted(plain));
    EXPECT_EQ(ReadFile(nt_name), plain);
    Settle();
    const Opened unbuffered = Open(nt_name, FILE_OPEN, FILE_NO_INTERMEDIATE_BUFFERING);
    Bytes data;
    const ULONG whole = static_cast<ULONG>((size + 511) / 512 * 512);
    const NTSTATUS status = Read(unbuffered.handle, &data, whole == 0 ? 512 : whole, 0);
    EXPECT_EQ(size == 0 ? STATUS_END_OF_FILE : STATUS_SUCCESS, status);
    EXPECT_EQ(data, plain);
    Close(unbuffered.handle);
    Settle();
  }
}

TEST_F(IoPathTest, UnprotectedFilesPassByteForByte) {
  const Bytes plain = Pattern(6000, 2);
  Record();
  ASSERT_EQ(WriteFile(u"\\??\\C:\\WINDOWS\\a.dll", plain), STATUS_SUCCESS);
  EXPECT_EQ(HostBytes('C', "WINDOWS/a.dll"), plain);
  for (const auto& write : PagingWrites()) {
    EXPECT_EQ(Slice(write.data, 0, std::min<size_t>(write.length, plain.size() - write.offset)),
              Slice(plain, write.offset, std::min<size_t>(plain.size(), write.offset + write.length)));
  }
  EXPECT_EQ(ReadFile(u"\\??\\C:\\WINDOWS\\a.dll"), plain);
}

TEST_F(IoPathTest, UnbufferedWritesAreEncrypted) {
  const Bytes plain = Pattern(8192, 3);
  const Opened file = Open(u"\\??\\C:\\Docs\\nb.doc", FILE_OVERWRITE_IF, FILE_NO_INTERMEDIATE_BUFFERING);
  ASSERT_EQ(Write(file.handle, plain, 0), STATUS_SUCCESS);
  EXPECT_EQ(HostBytes('C', "Docs/nb.doc"), Encrypted(plain));
  Bytes data;
  ASSERT_EQ(Read(file.handle, &data, 8192, 0), STATUS_SUCCESS);
  EXPECT_EQ(data, plain);
  // Cut to a length that leaves a tail.
  ASSERT_EQ(SetEndOfFile(file.handle, 5000), STATUS_SUCCESS);
  Close(file.handle);
  Settle();
  EXPECT_EQ(HostBytes('C', "Docs/nb.doc"), Encrypted(Slice(plain, 0, 5000)));
  EXPECT_EQ(ReadFile(u"\\??\\C:\\Docs\\nb.doc"), Slice(plain, 0, 5000));
}

// After every kind of size change the disk holds exactly the encrypted form for the new length, also when the
// page with the old end was no longer cached.
TEST_F(IoPathTest, SizeChangesKeepTheFormat) {
  struct Case {
    const char* what;
    size_t start;
    std::function<NTSTATUS(IoPathTest*, HANDLE)> change;
    std::function<Bytes(const Bytes&)> expected;
  };
  auto append = [](size_t at, size_t count) {
    return [at, count](IoPathTest* test, HANDLE file) { return test->Write(file, Pattern(count, 99), at); };
  };
  auto appended = [](size_t at, size_t count) {
    return [at, count](const Bytes& before) {
      Bytes after = before;
      after.resize(std::max(after.size(), at + count), 0);
      const Bytes data = Pattern(count, 99);
      std::copy(data.begin(), data.end(), after.begin() + at);
      return after;
    };
  };
  auto cut = [](size_t size) { return [size](const Bytes& before) { return Bytes(before.begin(), before.begin() + size); }; };
  auto zero_extended = [](size_t size) {
    return [size](const Bytes& before) {
      Bytes after = before;
      after.resize(size, 0);
      return after;
    };
  };
  const Case cases[] = {
      {"append past a tail", 5000, append(5000, 100), appended(5000, 100)},
      {"append inside the tail's block", 5001, append(5001, 7), appended(5001, 7)},
      {"write leaving a gap", 100, append(10000, 10), appended(10000, 10)},
      {"write overlapping the end", 5000, append(4990, 40), appended(4990, 40)},
      {"truncate to a tail", 6000, [](IoPathTest* t, HANDLE f) { return t->SetEndOfFile(f, 5000); }, cut(5000)},
      {"truncate inside the tail's block", 5005, [](IoPathTest* t, HANDLE f) { return t->SetEndOfFile(f, 5001); },
       cut(5001)},
      {"truncate to whole blocks", 5000, [](IoPathTest* t, HANDLE f) { return t->SetEndOfFile(f, 4096); }, cut(4096)},
      {"truncate to nothing", 5000, [](IoPathTest* t, HANDLE f) { return t->SetEndOfFile(f, 0); }, cut(0)},
      {"extend", 100, [](IoPathTest* t, HANDLE f) { return t->SetEndOfFile(f, 9000); }, zero_extended(9000)},
      {"extend past a large gap", 33, [](IoPathTest* t, HANDLE f) { return t->SetEndOfFile(f, 300000); },
       zero_extended(300000)},
      {"allocation below the end", 5000, [](IoPathTest* t, HANDLE f) { return t->SetAllocation(f, 3000); }, cut(3000)},
      {"allocation above the end", 5000, [](IoPathTest* t, HANDLE f) { return t->SetAllocation(f, 9000); },
       cut(5000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes before = Pattern(c.start, 5);
    ASSERT_EQ(WriteFile(u"\\??\\C:\\Docs\\size.doc", before), STATUS_SUCCESS);
    const Opened file = Open(u"\\??\\C:\\Docs\\size.doc", FILE_OPEN);
    ASSERT_EQ(file.status, STATUS_SUCCESS);
    ASSERT_EQ(c.change(this, file.handle), STATUS_SUCCESS);
    const Bytes expected = c.expected(before);
    // On disk in the new form at once, before the file is flushed or closed.
    EXPECT_EQ(HostBytes('C', "Docs/size.doc"), Encrypted(expected));
    Close(file.handle);
    Settle();
    EXPECT_EQ(HostBytes('C', "Docs/size.doc"), Encrypted(expected));
    EXPECT_EQ(ReadFile(u"\\??\\C:\\Docs\\size.doc"), expected);
  }
}

// Sizes and offsets are 64-bit: a file of 4 GiB and more is encrypted at every offset and its tail found at its
// real end.
TEST_F(IoPathTest, FilesOfFourGibibytesAndMore) {
  constexpr LONGLONG kSize = (4ll << 30) + 100;
  // The disk's zeros are the file's ciphertext: a sparse host file of 4 GiB + 100 bytes.
  PutHostFile('C', "Docs/big.bin", {});
  std::filesystem::resize_file(Host('C', "Docs/big.bin"), kSize);
  const Opened file = Open(u"\\??\\C:\\Docs\\big.bin", FILE_OPEN);
  ASSERT_EQ(file.status, STATUS_SUCCESS);
  const Bytes page = Pattern(4096, 8);
  ASSERT_EQ(Write(file.handle, page, 8192), STATUS_SUCCESS);
  ASSERT_EQ(Flush(file.handle), STATUS_SUCCESS);
  Close(file.handle);
  Settle();
  std::ifstream host(Host('C', "Docs/big.bin"), std::ios::binary);
  host.seekg(8192);
  Bytes stored(4096);
  host.read(reinterpret_cast<char*>(stored.data()), 4096);
  EXPECT_EQ(stored, Encrypted(page));

  const Opened unbuffered = Open(u"\\??\\C:\\Docs\\big.bin", FILE_OPEN, FILE_NO_INTERMEDIATE_BUFFERING);
  Bytes end;
  ASSERT_EQ(Read(unbuffered.handle, &end, 4096, 4ll << 30), STATUS_SUCCESS);
  EXPECT_EQ(end, Decrypted(Bytes(100, 0)));  // six blocks and a 4-byte tail, decoded at the real end
  Close(unbuffered.handle);
}

TEST_F(IoPathTest, FailuresEndTheRequestWithNothingWritten) {
  const Bytes plain = Pattern(4096, 12);
  ASSERT_EQ(WriteFile(u"\\??\\C:\\Docs\\fail.doc", Bytes(4096, 0)), STATUS_SUCCESS);
  const Opened file = Open(u"\\??\\C:\\Docs\\fail.doc", FILE_OPEN);
  ASSERT_EQ(Write(file.handle, plain, 0), STATUS_SUCCESS);
  kernel_->FailPoolAllocationAfter(1);  // the bounce buffer of the paging write
  EXPECT_EQ(Flush(file.handle), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(HostBytes('C', "Docs/fail.doc"), Encrypted(Bytes(4096, 0)));
  kernel_->FailPoolAllocationAfter(0);
  ASSERT_EQ(Flush(file.handle), STATUS_SUCCESS);
  EXPECT_EQ(HostBytes('C', "Docs/fail.doc"), Encrypted(plain));
  Close(file.handle);

  const Opened unbuffered = Open(u"\\??\\C:\\Docs\\fail.doc", FILE_OPEN, FILE_NO_INTERMEDIATE_BUFFERING);
  kernel_->FailSystemMappingAfter(2);  // the file system maps the buffer first, the driver second
  Bytes data;
  EXPECT_EQ(Read(unbuffered.handle, &data, 4096, 0), STATUS_INSUFFICIENT_RESOURCES);
  kernel_->FailSystemMappingAfter(0);
  ASSERT_EQ(Read(unbuffered.handle, &data, 4096, 0), STATUS_SUCCESS);
  EXPECT_EQ(data, plain);
  Close(unbuffered.handle);
}

}  // namespace
}  // namespace tavik::morvel::testing
