// The rename rule: renames that would change a file's protection, and moves between folders, are answered with
// STATUS_NOT_SAME_DEVICE so that the caller copies the file through the filter; the others rename in place and
// leave the stored bytes as they are.
#include "morvel_fixture.h"
#include "morvel_ioctl.h"

namespace tavik::morvel::testing {
namespace {

class RenameTest : public MorvelTest {
 protected:
  void SetUp() override {
    StartWithKey();
    for (const char* folder : {"A", "B", "RECYCLER", "WINDOWS"}) MakeHostFolder('C', folder);
  }

  NTSTATUS RenameFile(const std::u16string& from, const std::u16string& to) {
    const Opened file = Open(from, FILE_OPEN);
    EXPECT_EQ(file.status, STATUS_SUCCESS);
    const NTSTATUS status = Rename(file.handle, to);
    Close(file.handle);
    return status;
  }

  NTSTATUS RenameFolder(const std::u16string& from, const std::u16string& to) {
    const Opened folder = Open(from, FILE_OPEN, FILE_DIRECTORY_FILE);
    EXPECT_EQ(folder.status, STATUS_SUCCESS);
    const NTSTATUS status = Rename(folder.handle, to);
    Close(folder.handle);
    return status;
  }

  void EditRule(uint32_t code, const std::u16string& path) {
    Bytes request = {static_cast<uint8_t>(path.size()), 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    for (char16_t c : path) {
      request.push_back(static_cast<uint8_t>(c));
      request.push_back(static_cast<uint8_t>(c >> 8));
    }
    request.push_back(0);
    request.push_back(0);
    ASSERT_EQ(Control(code, request, 0).status, STATUS_SUCCESS);
  }
};

TEST_F(RenameTest, FileRenames) {
  const Bytes plain = Pattern(300);
  struct Case {
    const char* what;
    std::u16string from;
    std::string from_host;
    std::u16string to;  // a full NT name, or a bare new name in the same folder
    NTSTATUS status;
    std::string to_host;
  };
  const Case cases[] = {
      {"within its folder", u"\\??\\C:\\A\\f.txt", "A/f.txt", u"\\??\\C:\\A\\g.txt", STATUS_SUCCESS, "A/g.txt"},
      {"a bare new name", u"\\??\\C:\\A\\f.txt", "A/f.txt", u"h.txt", STATUS_SUCCESS, "A/h.txt"},
      {"to another folder", u"\\??\\C:\\A\\f.txt", "A/f.txt", u"\\??\\C:\\B\\f.txt", STATUS_NOT_SAME_DEVICE, ""},
      {"to a name left plain", u"\\??\\C:\\A\\f.txt", "A/f.txt", u"\\??\\C:\\A\\f.lnk", STATUS_NOT_SAME_DEVICE, ""},
      {"a bare name left plain", u"\\??\\C:\\A\\f.txt", "A/f.txt", u"desktop.ini", STATUS_NOT_SAME_DEVICE, ""},
      {"a plain file to a protected name", u"\\??\\C:\\A\\f.bat", "A/f.bat", u"f.txt", STATUS_NOT_SAME_DEVICE, ""},
      {"within an excluded folder", u"\\??\\C:\\WINDOWS\\x.txt", "WINDOWS/x.txt", u"\\??\\C:\\WINDOWS\\y.txt",
       STATUS_SUCCESS, "WINDOWS/y.txt"},
      {"into the recycle bin", u"\\??\\C:\\A\\f.txt", "A/f.txt", u"\\??\\C:\\RECYCLER\\Dc1.txt", STATUS_SUCCESS,
       "RECYCLER/Dc1.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(WriteFile(c.from, plain), STATUS_SUCCESS);
    const Bytes stored = HostBytes('C', c.from_host);
    EXPECT_EQ(RenameFile(c.from, c.to), c.status);
    Settle();
    if (c.status == STATUS_SUCCESS) {
      EXPECT_EQ(HostBytes('C', c.to_host), stored);
      std::filesystem::remove(Host('C', c.to_host));
    } else {
      EXPECT_EQ(HostBytes('C', c.from_host), stored);
      std::filesystem::remove(Host('C', c.from_host));
    }
  }
}

TEST_F(RenameTest, AMoveIntoAnExcludedRecycleBinBecomesACopy) {
  EditRule(kSetExclusion, u"\\RECYCLER");
  ASSERT_EQ(WriteFile(u"\\??\\C:\\A\\f.txt", Pattern(40)), STATUS_SUCCESS);
  EXPECT_EQ(RenameFile(u"\\??\\C:\\A\\f.txt", u"\\??\\C:\\RECYCLER\\Dc1.txt"), STATUS_NOT_SAME_DEVICE);
}

TEST_F(RenameTest, FolderRenames) {
  MakeHostFolder('C', "A/New Folder");
  EXPECT_EQ(RenameFolder(u"\\??\\C:\\A\\New Folder", u"\\??\\C:\\B\\New Folder"), STATUS_SUCCESS);
  MakeHostFolder('C', "A/Sub/Plain");
  EXPECT_EQ(RenameFolder(u"\\??\\C:\\A\\Sub", u"Sub2"), STATUS_SUCCESS);
  // A rule inside the folder would then name another place.
  EditRule(kSetExclusion, u"\\A\\Sub2\\Plain");
  EXPECT_EQ(RenameFolder(u"\\??\\C:\\A\\Sub2", u"Sub3"), STATUS_NOT_SAME_DEVICE);
  // A folder moved out of an excluded folder would have its files decided otherwise.
  MakeHostFolder('C', "WINDOWS/New Folder");
  EXPECT_EQ(RenameFolder(u"\\??\\C:\\WINDOWS\\New Folder", u"\\??\\C:\\A\\New Folder"), STATUS_NOT_SAME_DEVICE);
}

}  // namespace
}  // namespace tavik::morvel::testing
