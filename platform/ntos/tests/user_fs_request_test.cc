// User file-system requests through NtFsControlFile: compression, sparseness and encryption as attributes kept
// across a reboot, XP's statuses for bad input, the handle's access, a filter on the volume seeing the request,
// and a new file created encrypted.
#include <cstring>
#include <iterator>
#include <vector>

#include "kernel_fixture.h"
#include "pass_through_filter.h"

namespace xp::ntos::testing {
namespace {

constexpr ULONG kUnknownFsControl = CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 15, METHOD_BUFFERED, FILE_ANY_ACCESS);

std::vector<uint8_t> Format(USHORT format) { return {static_cast<uint8_t>(format), static_cast<uint8_t>(format >> 8)}; }

std::vector<uint8_t> Encryption(ULONG operation) {
  std::vector<uint8_t> bytes(sizeof(ENCRYPTION_BUFFER), 0);
  std::memcpy(bytes.data(), &operation, sizeof operation);
  return bytes;
}

class UserFsRequestTest : public KernelTest {
 protected:
  NTSTATUS FsControl(HANDLE handle, ULONG code, std::vector<uint8_t> input) {
    IO_STATUS_BLOCK io_status{};
    io_status.Information = 99;
    const NTSTATUS status = NtFsControlFile(handle, nullptr, nullptr, nullptr, &io_status, code,
                                            input.empty() ? nullptr : input.data(),
                                            static_cast<ULONG>(input.size()), nullptr, 0);
    if (NT_SUCCESS(status)) {
      EXPECT_EQ(io_status.Information, 0u);
    }
    return status;
  }
  ULONG Attributes(HANDLE handle) {
    FILE_BASIC_INFORMATION basic{};
    IO_STATUS_BLOCK io_status{};
    EXPECT_EQ(NtQueryInformationFile(handle, &io_status, &basic, sizeof basic, FileBasicInformation),
              STATUS_SUCCESS);
    return basic.FileAttributes;
  }
  ULONG AttributesOf(const std::u16string& name) {
    Opened file = Open(name, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN);
    EXPECT_EQ(file.status, STATUS_SUCCESS);
    const ULONG attributes = Attributes(file.handle);
    NtClose(file.handle);
    return attributes;
  }
  Opened Create(const std::u16string& name, ULONG file_attributes, ULONG options) {
    std::u16string text = name;
    UNICODE_STRING counted = NtName(text);
    OBJECT_ATTRIBUTES object;
    InitializeObjectAttributes(&object, &counted, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK io_status{};
    Opened opened;
    opened.status = NtCreateFile(&opened.handle, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &object, &io_status,
                                 nullptr, file_attributes, 0, FILE_CREATE, options | FILE_SYNCHRONOUS_IO_NONALERT,
                                 nullptr, 0);
    return opened;
  }
};

// One file through a sequence of requests: each step's status and the attributes it leaves.
TEST_F(UserFsRequestTest, RequestsSetAndClearTheirAttributesWithXpStatusesForBadInput) {
  struct Step {
    const char* what;
    ULONG code;
    std::vector<uint8_t> input;
    NTSTATUS status;
    ULONG attributes_after;
  };
  const ULONG a = FILE_ATTRIBUTE_ARCHIVE;
  const ULONG c = FILE_ATTRIBUTE_COMPRESSED;
  const ULONG s = FILE_ATTRIBUTE_SPARSE_FILE;
  const ULONG e = FILE_ATTRIBUTE_ENCRYPTED;
  const std::vector<Step> steps = {
      {"compress", FSCTL_SET_COMPRESSION, Format(COMPRESSION_FORMAT_DEFAULT), STATUS_SUCCESS, a | c},
      {"uncompress", FSCTL_SET_COMPRESSION, Format(COMPRESSION_FORMAT_NONE), STATUS_SUCCESS, a},
      {"compress LZNT1", FSCTL_SET_COMPRESSION, Format(COMPRESSION_FORMAT_LZNT1), STATUS_SUCCESS, a | c},
      {"format short", FSCTL_SET_COMPRESSION, {0}, STATUS_INVALID_PARAMETER, a | c},
      {"no format", FSCTL_SET_COMPRESSION, {}, STATUS_INVALID_PARAMETER, a | c},
      {"unknown format", FSCTL_SET_COMPRESSION, Format(3), STATUS_INVALID_PARAMETER, a | c},
      {"sparse", FSCTL_SET_SPARSE, {}, STATUS_SUCCESS, a | c | s},
      {"sparse TRUE", FSCTL_SET_SPARSE, {TRUE}, STATUS_SUCCESS, a | c | s},
      {"sparse FALSE", FSCTL_SET_SPARSE, {FALSE}, STATUS_INVALID_PARAMETER, a | c | s},
      {"encrypt", FSCTL_SET_ENCRYPTION, Encryption(FILE_SET_ENCRYPTION), STATUS_SUCCESS, a | c | s | e},
      {"decrypt", FSCTL_SET_ENCRYPTION, Encryption(FILE_CLEAR_ENCRYPTION), STATUS_SUCCESS, a | c | s},
      {"buffer short", FSCTL_SET_ENCRYPTION, {1, 0, 0, 0}, STATUS_BUFFER_TOO_SMALL, a | c | s},
      {"operation 0", FSCTL_SET_ENCRYPTION, Encryption(0), STATUS_INVALID_PARAMETER, a | c | s},
      {"operation 5", FSCTL_SET_ENCRYPTION, Encryption(5), STATUS_INVALID_PARAMETER, a | c | s},
      {"encrypt again", FSCTL_SET_ENCRYPTION, Encryption(FILE_SET_ENCRYPTION), STATUS_SUCCESS, a | c | s | e},
      {"unknown code", kUnknownFsControl, {}, STATUS_INVALID_DEVICE_REQUEST, a | c | s | e},
  };
  Opened file = OpenFile(u"\\??\\C:\\f.bin", FILE_CREATE);
  ASSERT_EQ(file.status, STATUS_SUCCESS);
  ASSERT_EQ(Write(file.handle, Pattern(100), 0), STATUS_SUCCESS);
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(FsControl(file.handle, step.code, step.input), step.status);
    EXPECT_EQ(Attributes(file.handle), step.attributes_after);
  }
  NtClose(file.handle);

  // The attributes live in the side store, so a new boot of the machine finds them; the bytes are as written.
  kernel_.reset();
  EXPECT_EQ(HostBytes('C', "f.bin"), Pattern(100));
  kernel_ = std::make_unique<Kernel>(KernelOptions{machine_, false});
  EXPECT_EQ(AttributesOf(u"\\??\\C:\\F.BIN"), a | c | s | e);
}

TEST_F(UserFsRequestTest, FoldersTakeEncryptionAndCompressionButNotSparseness) {
  Opened folder = Open(u"\\??\\C:\\Private", FILE_READ_DATA | FILE_WRITE_DATA | FILE_READ_ATTRIBUTES, 0, FILE_CREATE,
                       FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT);
  ASSERT_EQ(folder.status, STATUS_SUCCESS);
  EXPECT_EQ(FsControl(folder.handle, FSCTL_SET_ENCRYPTION, Encryption(FILE_SET_ENCRYPTION)), STATUS_SUCCESS);
  EXPECT_EQ(FsControl(folder.handle, FSCTL_SET_COMPRESSION, Format(COMPRESSION_FORMAT_DEFAULT)), STATUS_SUCCESS);
  EXPECT_EQ(FsControl(folder.handle, FSCTL_SET_SPARSE, {}), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(Attributes(folder.handle),
            static_cast<ULONG>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ENCRYPTED | FILE_ATTRIBUTE_COMPRESSED));
  EXPECT_EQ(FsControl(folder.handle, FSCTL_SET_ENCRYPTION, Encryption(FILE_CLEAR_ENCRYPTION)), STATUS_SUCCESS);
  NtClose(folder.handle);
  EXPECT_EQ(AttributesOf(u"\\??\\C:\\private"),
            static_cast<ULONG>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_COMPRESSED));
}

TEST_F(UserFsRequestTest, CompressionNeedsReadAndWriteAccessOnTheHandle) {
  Opened created = OpenFile(u"\\??\\C:\\f.bin", FILE_CREATE);
  ASSERT_EQ(created.status, STATUS_SUCCESS);
  NtClose(created.handle);
  Opened reader = Open(u"\\??\\C:\\f.bin", FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN);
  ASSERT_EQ(reader.status, STATUS_SUCCESS);
  EXPECT_EQ(FsControl(reader.handle, FSCTL_SET_COMPRESSION, Format(COMPRESSION_FORMAT_DEFAULT)),
            STATUS_ACCESS_DENIED);
  EXPECT_EQ(Attributes(reader.handle) & FILE_ATTRIBUTE_COMPRESSED, 0u);
  NtClose(reader.handle);
}

TEST_F(UserFsRequestTest, AFilterOnTheVolumeSeesTheRequest) {
  ASSERT_EQ(kernel_->StartDriver(pass_through::DriverEntry, u"PassThrough", DriverKind::kFileSystem),
            STATUS_SUCCESS);
  Opened file = OpenFile(u"\\??\\C:\\f.bin", FILE_CREATE);
  ASSERT_EQ(file.status, STATUS_SUCCESS);
  pass_through::Reset();
  EXPECT_EQ(FsControl(file.handle, FSCTL_SET_SPARSE, {}), STATUS_SUCCESS);
  EXPECT_EQ(pass_through::SeenFsControls(), std::vector<ULONG>{FSCTL_SET_SPARSE});
  EXPECT_EQ(Attributes(file.handle) & FILE_ATTRIBUTE_SPARSE_FILE, static_cast<ULONG>(FILE_ATTRIBUTE_SPARSE_FILE));
  NtClose(file.handle);
}

// Encrypted is kept on a new file; compressed and sparse are not attributes a create can set.
TEST_F(UserFsRequestTest, ANewFileKeepsTheEncryptedAttributeItWasCreatedWith) {
  struct Case {
    const char16_t* name;
    ULONG requested;
    ULONG expected;
  };
  const Case cases[] = {
      {u"\\??\\C:\\e.txt", FILE_ATTRIBUTE_ENCRYPTED | FILE_ATTRIBUTE_HIDDEN,
       FILE_ATTRIBUTE_ENCRYPTED | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
      {u"\\??\\C:\\c.txt", FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE, FILE_ATTRIBUTE_ARCHIVE},
      {u"\\??\\C:\\n.txt", FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_ARCHIVE},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(::testing::Message() << "case " << i);
    Opened created = Create(cases[i].name, cases[i].requested, FILE_NON_DIRECTORY_FILE);
    ASSERT_EQ(created.status, STATUS_SUCCESS);
    EXPECT_EQ(Attributes(created.handle), cases[i].expected);
    NtClose(created.handle);
    EXPECT_EQ(AttributesOf(cases[i].name), cases[i].expected);
  }
}

}  // namespace
}  // namespace xp::ntos::testing
