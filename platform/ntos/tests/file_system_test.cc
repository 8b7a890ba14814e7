// The model file system's own rules: end of file and valid data, renames and deletes with the side store,
// moves across volumes, share access, names that ignore case, and the free-space budget.
#include <fcntl.h>
#include <sqlite3.h>

#include "kernel_fixture.h"

namespace xp::ntos::testing {
namespace {

class FileSystemTest : public KernelTest {
 protected:
  ULONG Attributes(const std::u16string& name) {
    Opened file = Open(name, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN);
    EXPECT_EQ(file.status, STATUS_SUCCESS);
    FILE_BASIC_INFORMATION basic{};
    IO_STATUS_BLOCK io_status{};
    EXPECT_EQ(NtQueryInformationFile(file.handle, &io_status, &basic, sizeof basic, FileBasicInformation),
              STATUS_SUCCESS);
    NtClose(file.handle);
    return basic.FileAttributes;
  }
  void SetAttributes(HANDLE handle, ULONG attributes) {
    FILE_BASIC_INFORMATION basic{};
    basic.FileAttributes = attributes;
    IO_STATUS_BLOCK io_status{};
    ASSERT_EQ(NtSetInformationFile(handle, &io_status, &basic, sizeof basic, FileBasicInformation), STATUS_SUCCESS);
  }
  int SideStoreRows(const std::string& key) {
    sqlite3* db = nullptr;
    sqlite3_open((machine_ / "drives" / "C.meta").c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM files WHERE path = ?1", -1, &statement, nullptr);
    sqlite3_bind_text(statement, 1, key.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(statement);
    const int rows = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
  }
};

TEST_F(FileSystemTest, EndOfFileChangesKeepValidDataAndTheHostFileInStep) {
  Opened file = OpenFile(u"\\??\\C:\\size.bin", FILE_CREATE);
  ASSERT_EQ(Write(file.handle, Pattern(1000), 0), STATUS_SUCCESS);
  kernel_->LazyWriterTick();
  ASSERT_EQ(SetEndOfFile(file.handle, 9000), STATUS_SUCCESS);
  EXPECT_EQ(std::filesystem::file_size(Host('C', "size.bin")), 9000u);
  std::vector<uint8_t> got;
  ASSERT_EQ(Read(file.handle, &got, 9000, 0), STATUS_SUCCESS);
  ASSERT_EQ(got.size(), 9000u);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 1000, Pattern(1000).begin()));
  EXPECT_TRUE(std::all_of(got.begin() + 1000, got.end(), [](uint8_t b) { return b == 0; }));
  ASSERT_EQ(SetEndOfFile(file.handle, 300), STATUS_SUCCESS);
  kernel_->LazyWriterTick();
  const std::vector<uint8_t> written = Pattern(1000);
  EXPECT_EQ(HostBytes('C', "size.bin"), std::vector<uint8_t>(written.begin(), written.begin() + 300));
  EXPECT_EQ(Read(file.handle, &got, 10, 300), STATUS_END_OF_FILE);
  NtClose(file.handle);
}

TEST_F(FileSystemTest, NonCachedWritesExtendTheFileAndItsValidData) {
  Opened file = OpenFile(u"\\??\\C:\\raw.bin", FILE_CREATE, FILE_NO_INTERMEDIATE_BUFFERING);
  EXPECT_EQ(Write(file.handle, Pattern(100), 0), STATUS_INVALID_PARAMETER);
  ASSERT_EQ(Write(file.handle, Pattern(8192), 4096), STATUS_SUCCESS);
  EXPECT_EQ(std::filesystem::file_size(Host('C', "raw.bin")), 12288u);
  std::vector<uint8_t> got;
  ASSERT_EQ(Read(file.handle, &got, 4096, 0), STATUS_SUCCESS);
  EXPECT_EQ(got, std::vector<uint8_t>(4096, 0));
  ASSERT_EQ(Read(file.handle, &got, 8192, 4096), STATUS_SUCCESS);
  EXPECT_EQ(got, Pattern(8192));
  NtClose(file.handle);
}

TEST_F(FileSystemTest, RenameAndDeleteKeepTheSideStoreRight) {
  std::filesystem::create_directories(Host('C', "A"));
  std::filesystem::create_directories(Host('C', "B"));
  Opened file = OpenFile(u"\\??\\C:\\A\\f.txt", FILE_CREATE);
  SetAttributes(file.handle, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_EQ(Rename(file.handle, u"\\??\\C:\\B\\g.txt"), STATUS_SUCCESS);
  NtClose(file.handle);
  EXPECT_TRUE(std::filesystem::exists(Host('C', "B/g.txt")));
  EXPECT_FALSE(std::filesystem::exists(Host('C', "A/f.txt")));
  EXPECT_EQ(Attributes(u"\\??\\C:\\b\\G.TXT"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(SideStoreRows("\\A\\F.TXT"), 0);
  EXPECT_EQ(SideStoreRows("\\B\\G.TXT"), 1);
  // A plain new name renames within the directory.
  Opened again = OpenFile(u"\\??\\C:\\B\\g.txt");
  ASSERT_EQ(Rename(again.handle, u"h.txt"), STATUS_SUCCESS);
  ASSERT_EQ(Delete(again.handle), STATUS_SUCCESS);
  EXPECT_TRUE(std::filesystem::exists(Host('C', "B/h.txt")));  // until the last handle goes
  NtClose(again.handle);
  EXPECT_FALSE(std::filesystem::exists(Host('C', "B/h.txt")));
  EXPECT_EQ(SideStoreRows("\\B\\H.TXT"), 0);
  EXPECT_EQ(OpenFile(u"\\??\\C:\\B\\h.txt", FILE_OPEN).status, STATUS_OBJECT_NAME_NOT_FOUND);
}

// A folder's rename takes the rows beneath it along, and only those: neighbours whose names begin with the folder's
// name, and sort just before or after its children ('[' and ']' around '\\'), keep theirs.
TEST_F(FileSystemTest, AFolderRenameMovesTheRowsBeneathItAndNoOthers) {
  const struct {
    const char* host;
    std::u16string name;
  } folders[] = {{"DOC", u"DOC"}, {"DOC2", u"DOC2"}, {"DOC[", u"DOC["}, {"DOC]", u"DOC]"}, {"DOC]X", u"DOC]X"}};
  for (const auto& folder : folders) {
    std::filesystem::create_directories(Host('C', folder.host));
    Opened file = OpenFile(u"\\??\\C:\\" + folder.name + u"\\f.txt", FILE_CREATE);
    ASSERT_EQ(file.status, STATUS_SUCCESS) << folder.host;
    SetAttributes(file.handle, FILE_ATTRIBUTE_HIDDEN);
    NtClose(file.handle);
  }
  Opened folder = Open(u"\\??\\C:\\Doc", DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                       FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT);
  ASSERT_EQ(folder.status, STATUS_SUCCESS);
  ASSERT_EQ(Rename(folder.handle, u"\\??\\C:\\Papers"), STATUS_SUCCESS);
  NtClose(folder.handle);
  EXPECT_EQ(SideStoreRows("\\PAPERS\\F.TXT"), 1);
  EXPECT_EQ(SideStoreRows("\\DOC\\F.TXT"), 0);
  for (const char* neighbour : {"\\DOC2\\F.TXT", "\\DOC[\\F.TXT", "\\DOC]\\F.TXT", "\\DOC]X\\F.TXT"}) {
    EXPECT_EQ(SideStoreRows(neighbour), 1) << neighbour;
  }
  EXPECT_EQ(Attributes(u"\\??\\C:\\papers\\F.txt"), FILE_ATTRIBUTE_HIDDEN);
}

// A stream keeps its host file open from its first transfer: its data reaches the file under its new name after
// a rename, and a file put again under the old name receives none of it.
TEST_F(FileSystemTest, ARenamedStreamWritesBackUnderItsNewName) {
  Opened file = OpenFile(u"\\??\\C:\\old.bin", FILE_CREATE);
  ASSERT_EQ(Write(file.handle, Pattern(8192), 0), STATUS_SUCCESS);
  kernel_->LazyWriterTick();
  ASSERT_EQ(Write(file.handle, std::vector<uint8_t>(4096, 0x5A), 4096), STATUS_SUCCESS);
  ASSERT_EQ(Rename(file.handle, u"\\??\\C:\\new.bin"), STATUS_SUCCESS);
  PutHostFile('C', "old.bin", Pattern(10));
  kernel_->LazyWriterTick();
  std::vector<uint8_t> expected = Pattern(8192);
  std::fill(expected.begin() + 4096, expected.end(), 0x5A);
  EXPECT_EQ(HostBytes('C', "new.bin"), expected);
  EXPECT_EQ(HostBytes('C', "old.bin"), Pattern(10));
  NtClose(file.handle);
}

TEST_F(FileSystemTest, RenameRefusals) {
  Opened first = OpenFile(u"\\??\\C:\\one.txt", FILE_CREATE);
  Opened second = OpenFile(u"\\??\\C:\\two.txt", FILE_CREATE);
  EXPECT_EQ(Rename(first.handle, u"\\??\\D:\\one.txt"), STATUS_NOT_SAME_DEVICE);
  EXPECT_EQ(Rename(first.handle, u"\\??\\C:\\two.txt"), STATUS_OBJECT_NAME_COLLISION);
  EXPECT_EQ(Rename(first.handle, u"\\??\\C:\\missing\\x.txt"), STATUS_OBJECT_PATH_NOT_FOUND);
  NtClose(second.handle);
  EXPECT_EQ(Rename(first.handle, u"\\??\\C:\\two.txt", true), STATUS_SUCCESS);
  NtClose(first.handle);
  EXPECT_FALSE(std::filesystem::exists(Host('C', "one.txt")));
  EXPECT_TRUE(std::filesystem::exists(Host('C', "two.txt")));
}

TEST_F(FileSystemTest, ShareAccessIncludingShareDelete) {
  struct Case {
    ACCESS_MASK first_access;
    ULONG first_share;
    ACCESS_MASK second_access;
    ULONG second_share;
    NTSTATUS second_status;
  };
  const ULONG rw = FILE_SHARE_READ | FILE_SHARE_WRITE;
  const Case cases[] = {
      {FILE_READ_DATA, FILE_SHARE_READ, FILE_READ_DATA, FILE_SHARE_READ, STATUS_SUCCESS},
      {FILE_READ_DATA, FILE_SHARE_READ, FILE_WRITE_DATA, rw, STATUS_SHARING_VIOLATION},
      {FILE_WRITE_DATA, rw, FILE_READ_DATA, FILE_SHARE_READ, STATUS_SHARING_VIOLATION},
      {FILE_READ_DATA, rw, DELETE, rw, STATUS_SHARING_VIOLATION},
      {FILE_READ_DATA, rw | FILE_SHARE_DELETE, DELETE, rw | FILE_SHARE_DELETE, STATUS_SUCCESS},
      {DELETE, rw | FILE_SHARE_DELETE, FILE_READ_DATA, rw, STATUS_SHARING_VIOLATION},
      {FILE_READ_ATTRIBUTES, 0, FILE_WRITE_DATA, 0, STATUS_SUCCESS},
  };
  PutHostFile('C', "shared.txt", Pattern(10));
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << index++);
    Opened first = Open(u"\\??\\C:\\shared.txt", c.first_access, c.first_share, FILE_OPEN);
    ASSERT_EQ(first.status, STATUS_SUCCESS);
    Opened second = Open(u"\\??\\C:\\SHARED.TXT", c.second_access, c.second_share, FILE_OPEN);
    EXPECT_EQ(second.status, c.second_status);
    if (NT_SUCCESS(second.status)) NtClose(second.handle);
    NtClose(first.handle);
  }
}

TEST_F(FileSystemTest, NamesIgnoreCaseAndKeepTheirSpelling) {
  Opened made = OpenFile(u"\\??\\C:\\Mixed Case.TXT", FILE_CREATE);
  ASSERT_EQ(made.status, STATUS_SUCCESS);
  NtClose(made.handle);
  EXPECT_TRUE(std::filesystem::exists(Host('C', "Mixed Case.TXT")));
  Opened other = OpenFile(u"\\??\\c:\\mixed case.txt", FILE_OPEN_IF);
  EXPECT_EQ(other.information, FILE_OPENED);
  FILE_NAME_INFORMATION* name = nullptr;
  std::vector<uint8_t> buffer(512);
  name = reinterpret_cast<FILE_NAME_INFORMATION*>(buffer.data());
  IO_STATUS_BLOCK io_status{};
  ASSERT_EQ(NtQueryInformationFile(other.handle, &io_status, name, 512, FileNameInformation), STATUS_SUCCESS);
  EXPECT_EQ(std::u16string(name->FileName, name->FileNameLength / 2), u"\\Mixed Case.TXT");
  EXPECT_EQ(NtQueryInformationFile(other.handle, &io_status, name, 12, FileNameInformation), STATUS_BUFFER_OVERFLOW);
  NtClose(other.handle);
  EXPECT_EQ(OpenFile(u"\\??\\C:\\MIXED CASE.txt", FILE_CREATE).status, STATUS_OBJECT_NAME_COLLISION);
  EXPECT_EQ(OpenFile(u"\\??\\C:\\bad|name.txt", FILE_CREATE).status, STATUS_OBJECT_NAME_INVALID);
}

// Names are found in an index of each folder looked in; what happens to the drive folder behind the kernel's back
// while it runs shows at the next open: files and folders put, removed, renamed and made again, beside the
// kernel's own changes, and two host names that differ only in case.
TEST_F(FileSystemTest, NamesFollowTheHostFolderWhileTheKernelRuns) {
  const auto status_of = [this](const std::u16string& name) {
    Opened file = OpenFile(u"\\??\\C:\\" + name, FILE_OPEN);
    if (NT_SUCCESS(file.status)) NtClose(file.handle);
    return file.status;
  };
  EXPECT_EQ(status_of(u"notes\\a.txt"), STATUS_OBJECT_PATH_NOT_FOUND);
  PutHostFile('C', "notes/A.txt", Pattern(3));
  EXPECT_EQ(status_of(u"NOTES\\a.TXT"), STATUS_SUCCESS);
  std::filesystem::rename(Host('C', "notes"), Host('C', "papers"));
  EXPECT_EQ(status_of(u"papers\\a.txt"), STATUS_SUCCESS);
  EXPECT_EQ(status_of(u"notes\\a.txt"), STATUS_OBJECT_PATH_NOT_FOUND);
  std::filesystem::create_directory(Host('C', "notes"));
  EXPECT_EQ(status_of(u"notes\\a.txt"), STATUS_OBJECT_NAME_NOT_FOUND) << "a folder made again holds nothing";
  std::filesystem::remove(Host('C', "papers/A.txt"));
  EXPECT_EQ(status_of(u"papers\\a.txt"), STATUS_OBJECT_NAME_NOT_FOUND);

  // The kernel's own create, then a person's, in the same moment.
  Opened made = OpenFile(u"\\??\\C:\\papers\\b.txt", FILE_CREATE);
  ASSERT_EQ(made.status, STATUS_SUCCESS);
  NtClose(made.handle);
  PutHostFile('C', "papers/C.txt", Pattern(3));
  EXPECT_EQ(status_of(u"papers\\B.TXT"), STATUS_SUCCESS);
  EXPECT_EQ(status_of(u"papers\\c.txt"), STATUS_SUCCESS);

  PutHostFile('C', "dup/x.txt", Pattern(3));
  PutHostFile('C', "dup/X.TXT", Pattern(3));
  EXPECT_EQ(status_of(u"dup\\x.txt"), STATUS_SUCCESS);
  std::filesystem::remove(Host('C', "dup/x.txt"));
  EXPECT_EQ(status_of(u"dup\\x.txt"), STATUS_SUCCESS) << "X.TXT is still there";
  std::filesystem::remove(Host('C', "dup/X.TXT"));
  EXPECT_EQ(status_of(u"dup\\x.txt"), STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(FileSystemTest, DirectoryListingInNameOrderWithPatterns) {
  for (const char* name : {"b.txt", "A.doc", "c.txt"}) PutHostFile('C', std::string("dir/") + name, Pattern(3));
  Opened dir = Open(u"\\??\\C:\\dir", FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                    FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT);
  ASSERT_EQ(dir.status, STATUS_SUCCESS);
  std::vector<std::u16string> names;
  std::vector<uint8_t> buffer(4096);
  IO_STATUS_BLOCK io_status{};
  std::u16string pattern = u"*";
  UNICODE_STRING counted = NtName(pattern);
  NTSTATUS status = NtQueryDirectoryFile(dir.handle, nullptr, nullptr, nullptr, &io_status, buffer.data(), 4096,
                                         FileBothDirectoryInformation, FALSE, &counted, TRUE);
  ASSERT_EQ(status, STATUS_SUCCESS);
  for (size_t offset = 0;;) {
    auto* entry = reinterpret_cast<PFILE_BOTH_DIR_INFORMATION>(buffer.data() + offset);
    names.emplace_back(entry->FileName, entry->FileNameLength / 2);
    if (entry->NextEntryOffset == 0) break;
    offset += entry->NextEntryOffset;
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u".", u"..", u"A.doc", u"b.txt", u"c.txt"}));
  EXPECT_EQ(NtQueryDirectoryFile(dir.handle, nullptr, nullptr, nullptr, &io_status, buffer.data(), 4096,
                                 FileBothDirectoryInformation, FALSE, nullptr, FALSE),
            STATUS_NO_MORE_FILES);
  NtClose(dir.handle);
  Opened again = Open(u"\\??\\C:\\dir", FILE_LIST_DIRECTORY, FILE_SHARE_READ, FILE_OPEN, FILE_DIRECTORY_FILE);
  std::u16string none = u"*.xls";
  UNICODE_STRING none_counted = NtName(none);
  EXPECT_EQ(NtQueryDirectoryFile(again.handle, nullptr, nullptr, nullptr, &io_status, buffer.data(), 4096,
                                 FileNamesInformation, FALSE, &none_counted, TRUE),
            STATUS_NO_SUCH_FILE);
  NtClose(again.handle);
}

TEST_F(FileSystemTest, WritesStopAtTheFreeSpaceBudget) {
  Boot(3 * 4096);
  Opened file = OpenFile(u"\\??\\C:\\full.bin", FILE_CREATE);
  ULONG_PTR written = 0;
  EXPECT_EQ(Write(file.handle, Pattern(8192), 0, &written), STATUS_SUCCESS);
  EXPECT_EQ(Write(file.handle, Pattern(8192), 8192, &written), STATUS_DISK_FULL);
  FILE_FS_SIZE_INFORMATION size{};
  IO_STATUS_BLOCK io_status{};
  ASSERT_EQ(NtQueryVolumeInformationFile(file.handle, &io_status, &size, sizeof size, FileFsSizeInformation),
            STATUS_SUCCESS);
  EXPECT_EQ(size.AvailableAllocationUnits.QuadPart, 1);
  // Deleting gives the space back.
  ASSERT_EQ(Delete(file.handle), STATUS_SUCCESS);
  NtClose(file.handle);
  Opened other = OpenFile(u"\\??\\C:\\other.bin", FILE_CREATE);
  EXPECT_EQ(Write(other.handle, Pattern(12288), 0), STATUS_SUCCESS);
  NtClose(other.handle);
}

TEST_F(FileSystemTest, VolumeInformationComesFromTheMachine) {
  Opened root = Open(u"\\DosDevices\\D:\\", SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                     FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT);
  ASSERT_EQ(root.status, STATUS_SUCCESS);
  std::vector<uint8_t> buffer(536);
  IO_STATUS_BLOCK io_status{};
  ASSERT_EQ(NtQueryVolumeInformationFile(root.handle, &io_status, buffer.data(), 536, FileFsVolumeInformation),
            STATUS_SUCCESS);
  EXPECT_EQ(reinterpret_cast<PFILE_FS_VOLUME_INFORMATION>(buffer.data())->VolumeSerialNumber, 0x00C0FFEEu);
  FILE_FS_DEVICE_INFORMATION device{};
  ASSERT_EQ(NtQueryVolumeInformationFile(root.handle, &io_status, &device, sizeof device, FileFsDeviceInformation),
            STATUS_SUCCESS);
  EXPECT_EQ(device.DeviceType, static_cast<ULONG>(FILE_DEVICE_DISK));
  ASSERT_EQ(NtQueryVolumeInformationFile(root.handle, &io_status, buffer.data(), 536, FileFsAttributeInformation),
            STATUS_SUCCESS);
  auto* attribute = reinterpret_cast<PFILE_FS_ATTRIBUTE_INFORMATION>(buffer.data());
  EXPECT_EQ(std::u16string(attribute->FileSystemName, attribute->FileSystemNameLength / 2), u"NTFS");
  NtClose(root.handle);
}

}  // namespace
}  // namespace xp::ntos::testing
