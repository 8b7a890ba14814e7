// Which opens reach protected files and how: refused without a key (and then never able to change the file),
// decided by the rules, the volumes and the names once a key is held, and the same whatever way the open names
// the file (shared for delete, the main stream named explicitly, relative to a folder, a long full name).
#include "morvel_fixture.h"

namespace tavik::morvel::testing {
namespace {

class PolicyTest : public MorvelTest {
 protected:
  // True when a file written through the machine is stored encrypted.
  bool StoredEncrypted(const std::u16string& name, const std::string& host) {
    const Bytes plain = Pattern(100, static_cast<uint8_t>(host.size()));
    EXPECT_EQ(WriteFile(name, plain), STATUS_SUCCESS);
    EXPECT_EQ(ReadFile(name), plain);
    const Bytes stored = HostBytes(host[0], host.substr(2));
    EXPECT_TRUE(stored == plain || stored == Encrypted(plain));
    return stored == Encrypted(plain);
  }
};

TEST_F(PolicyTest, WithoutAKeyProtectedFilesAreRefused) {
  PutHostFile('C', "Documents and Settings/u/a.doc", Pattern(10));
  PutHostFile('C', "boot.ini", Pattern(10));
  PutHostFile('C', "Docs/x.lnk", Pattern(10));
  PutHostFile('C', "Docs/desktop.ini", Pattern(10));
  PutHostFile('C', "$Mft", Pattern(10));
  PutHostFile('C', "System Volume Information/f", Pattern(10));
  PutHostFile('C', "WINDOWS/system32/a.dll", Pattern(10));
  StartWithoutKey();
  struct Case {
    std::u16string name;
    ULONG options;
    NTSTATUS status;
  };
  const Case cases[] = {
      {u"\\??\\C:\\Documents and Settings\\u\\a.doc", 0, STATUS_ACCESS_DENIED},
      {u"\\??\\C:\\DOCUMENTS AND SETTINGS\\U\\A.DOC", 0, STATUS_ACCESS_DENIED},
      {u"\\??\\C:\\boot.ini", 0, STATUS_SUCCESS},
      {u"\\??\\C:\\Docs\\x.lnk", 0, STATUS_SUCCESS},
      {u"\\??\\C:\\Docs\\desktop.ini", 0, STATUS_SUCCESS},
      {u"\\??\\C:\\Docs", FILE_DIRECTORY_FILE, STATUS_SUCCESS},
      {u"\\??\\C:\\$Mft", 0, STATUS_SUCCESS},
      {u"\\??\\C:\\System Volume Information\\f", 0, STATUS_SUCCESS},
      {u"\\??\\C:\\WINDOWS\\system32\\a.dll", 0, STATUS_SUCCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
    const Opened opened = Open(c.name, FILE_OPEN, c.options);
    EXPECT_EQ(opened.status, c.status);
    if (NT_SUCCESS(opened.status)) Close(opened.handle);
  }
}

// An open that could change the file is refused before it reaches the file system.
TEST_F(PolicyTest, ARefusedOpenLeavesTheFileAsItWas) {
  const Bytes stored = Encrypted(Pattern(5000));
  PutHostFile('C', "Docs/a.doc", stored);
  StartWithoutKey();
  struct Case {
    const char* what;
    ULONG disposition;
    ULONG options;
  };
  const Case cases[] = {
      {"overwrite", FILE_OVERWRITE, 0},
      {"overwrite or create", FILE_OVERWRITE_IF, 0},
      {"supersede", FILE_SUPERSEDE, 0},
      {"open or create", FILE_OPEN_IF, 0},
      {"delete on close", FILE_OPEN, FILE_DELETE_ON_CLOSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Open(u"\\??\\C:\\Docs\\a.doc", c.disposition, c.options, FILE_SHARE_READ).status,
              STATUS_ACCESS_DENIED);
    EXPECT_EQ(HostBytes('C', "Docs/a.doc"), stored);
  }
  EXPECT_EQ(Open(u"\\??\\C:\\Docs\\new.doc", FILE_CREATE).status, STATUS_ACCESS_DENIED);
  EXPECT_FALSE(std::filesystem::exists(Host('C', "Docs/new.doc")));
}

TEST_F(PolicyTest, RulesDecideOnTheSystemVolume) {
  SetRules(u"Exclusion", {u"\\WINDOWS"});
  SetRules(u"Inclusion", {u"\\WINDOWS\\Temp"});
  SetRules(u"Exception", {u"\\WINDOWS\\Temp\\keep.txt", u"\\Docs\\skip.txt"});
  SetVolumes({kSerialC});
  Boot();
  ASSERT_EQ(LoadDriver(), STATUS_SUCCESS);
  ASSERT_EQ(SetKey(Key().kn, Key().efkn, 0).output, Bytes{1});
  MakeHostFolder('C', "WINDOWS/system32");
  MakeHostFolder('C', "WINDOWS/Temp");
  MakeHostFolder('C', "WINDOWSX");
  MakeHostFolder('C', "Docs");
  struct Case {
    std::u16string name;
    std::string host;
    bool encrypted;
  };
  const Case cases[] = {
      {u"\\??\\C:\\WINDOWS\\system32\\a.dll", "C:WINDOWS/system32/a.dll", false},
      {u"\\??\\C:\\WINDOWS\\Temp\\a.tmp", "C:WINDOWS/Temp/a.tmp", true},
      {u"\\??\\C:\\windows\\temp\\B.TMP", "C:WINDOWS/Temp/B.TMP", true},
      {u"\\??\\C:\\WINDOWSX\\a.txt", "C:WINDOWSX/a.txt", true},
      {u"\\??\\C:\\WINDOWS\\Temp\\keep.txt", "C:WINDOWS/Temp/keep.txt", false},
      {u"\\??\\C:\\WINDOWS\\Temp\\keep.txt2", "C:WINDOWS/Temp/keep.txt2", true},
      {u"\\??\\C:\\Docs\\skip.txt", "C:Docs/skip.txt", false},
      {u"\\??\\C:\\Docs\\a.doc", "C:Docs/a.doc", true},
      {u"\\??\\C:\\Docs\\a.bat", "C:Docs/a.bat", false},
      {u"\\??\\C:\\root.txt", "C:root.txt", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    EXPECT_EQ(StoredEncrypted(c.name, c.host), c.encrypted);
  }
}

TEST_F(PolicyTest, VolumesAndDriveLetterRules) {
  AddDrive('D', 0x00D1D1D1);
  AddDrive('E', 0x00E1E1E1);
  SetRules(u"Exclusion", {u"\\WINDOWS", u"D:\\Plain", u"D:\\RECYCLER"});
  SetRules(u"Exception", {u"D:\\Docs\\keep.txt"});
  SetVolumes({kSerialC, 0x00D1D1D1});
  Boot();
  ASSERT_EQ(LoadDriver(), STATUS_SUCCESS);
  ASSERT_EQ(SetKey(Key().kn, Key().efkn, 0).output, Bytes{1});
  for (const char* folder : {"Plain", "RECYCLER", "Docs"}) MakeHostFolder('D', folder);
  MakeHostFolder('C', "Plain");
  struct Case {
    std::u16string name;
    std::string host;
    bool encrypted;
  };
  const Case cases[] = {
      {u"\\??\\D:\\root.txt", "D:root.txt", true},  // every file of a protected data volume, its root too
      {u"\\??\\D:\\Plain\\a.txt", "D:Plain/a.txt", false},
      {u"\\??\\D:\\RECYCLER\\a.txt", "D:RECYCLER/a.txt", false},
      {u"\\??\\D:\\Docs\\keep.txt", "D:Docs/keep.txt", false},
      {u"\\??\\D:\\Docs\\other.txt", "D:Docs/other.txt", true},
      {u"\\??\\C:\\Plain\\a.txt", "C:Plain/a.txt", true},  // D:'s rules stay on D:
      {u"\\??\\E:\\a.txt", "E:a.txt", false},              // not a protected volume
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    EXPECT_EQ(StoredEncrypted(c.name, c.host), c.encrypted);
  }
}

// However an open names a protected file, it sees plaintext and writes ciphertext, and without a key is refused.
TEST_F(PolicyTest, EveryWayOfNamingAFileMeetsTheSamePolicy) {
  const std::string long_folder(200, 'L');
  const std::string long_file = std::string(100, 'F') + ".doc";
  const Bytes plain = Pattern(777);
  PutHostFile('C', "Docs/a.doc", Encrypted(plain));
  PutHostFile('C', "Docs/" + long_folder + "/" + long_file, Encrypted(plain));
  StandardRegistry();
  Boot();
  ASSERT_EQ(LoadDriver(), STATUS_SUCCESS);

  struct Way {
    const char* what;
    std::u16string name;
    bool relative_to_folder;  // the name is relative to the folder of `folder`
    std::u16string folder;
    ULONG share;
  };
  const std::u16string long_folder16(long_folder.begin(), long_folder.end());
  const std::u16string long_file16(long_file.begin(), long_file.end());
  const Way ways[] = {
      {"shared for delete", u"\\??\\C:\\Docs\\a.doc", false, u"",
       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
      {"the main stream named", u"\\??\\C:\\Docs\\a.doc::$DATA", false, u"", FILE_SHARE_READ | FILE_SHARE_WRITE},
      {"relative to its folder", u"a.doc", true, u"\\??\\C:\\Docs", FILE_SHARE_READ | FILE_SHARE_WRITE},
      {"relative, with a long full name", long_file16, true, u"\\??\\C:\\Docs\\" + long_folder16,
       FILE_SHARE_READ | FILE_SHARE_WRITE},
  };
  auto open = [&](const Way& way, Opened* folder) {
    *folder = Opened{};
    if (!way.relative_to_folder) return Open(way.name, FILE_OPEN, 0, way.share);
    *folder = Open(way.folder, FILE_OPEN, FILE_DIRECTORY_FILE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(folder->status, STATUS_SUCCESS);
    return Open(way.name, FILE_OPEN, 0, way.share, folder->handle);
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.what);
    Opened folder;
    const Opened refused = open(way, &folder);
    EXPECT_EQ(refused.status, STATUS_ACCESS_DENIED);
    if (folder.handle != nullptr) Close(folder.handle);
  }
  ASSERT_EQ(SetKey(Key().kn, Key().efkn, 0).output, Bytes{1});
  for (const Way& way : ways) {
    SCOPED_TRACE(way.what);
    Opened folder;
    const Opened file = open(way, &folder);
    ASSERT_EQ(file.status, STATUS_SUCCESS);
    Bytes data;
    EXPECT_EQ(Read(file.handle, &data, 1000, 0), STATUS_SUCCESS);
    EXPECT_EQ(data, plain);
    Bytes changed = plain;
    changed[5] ^= 0xFF;
    EXPECT_EQ(Write(file.handle, Bytes{changed[5]}, 5), STATUS_SUCCESS);
    Close(file.handle);
    if (folder.handle != nullptr) Close(folder.handle);
    Settle();
    const std::string host = way.relative_to_folder && way.name == long_file16 ? "Docs/" + long_folder + "/" + long_file
                                                                                : "Docs/a.doc";
    EXPECT_EQ(HostBytes('C', host), Encrypted(changed));
    PutHostFile('C', host, Encrypted(plain));
    Settle();
  }
}

TEST_F(PolicyTest, ARelativeOpenMeetsTheNameTestsOfItsFullName) {
  StartWithKey();
  MakeHostFolder('C', "Docs");
  const Opened folder = Open(u"\\??\\C:\\Docs", FILE_OPEN, FILE_DIRECTORY_FILE);
  ASSERT_EQ(folder.status, STATUS_SUCCESS);
  const Opened file = Open(u"desktop.ini", FILE_OVERWRITE_IF, 0, FILE_SHARE_READ, folder.handle);
  ASSERT_EQ(file.status, STATUS_SUCCESS);
  ASSERT_EQ(Write(file.handle, Pattern(40), 0), STATUS_SUCCESS);
  Close(file.handle);
  Close(folder.handle);
  Settle();
  EXPECT_EQ(HostBytes('C', "Docs/desktop.ini"), Pattern(40));
}

}  // namespace
}  // namespace tavik::morvel::testing
