// Text files as the programs' TextFileIO uses them, on a machine's drive: lines written, appended and read back
// with CR LF ends, files made on demand, and the errors for what is not there.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "scratch_machine.h"
#include "scrrun.h"

namespace {

class TextFilesTest : public ::testing::Test {
 protected:
  // What the disk holds once the machine's kernel wrote its cache back.
  std::string Disk(const std::string& relative) const {
    machine_.WriteBack();
    std::ifstream in(machine_.root() / "drives/C" / relative, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
  }
  long ErrorOf(const std::function<void()>& call) const {
    try {
      call();
    } catch (const RuntimeError& error) {
      return error.Number();
    }
    return 0;
  }

  xp::test::ScratchMachine machine_;
  FileSystemObject fso_;
};

TEST_F(TextFilesTest, LinesAreWrittenAppendedAndReadBackWithCrLfEnds) {
  const std::u16string path = u"C:\\authenticate.txt";
  EXPECT_FALSE(fso_.FileExists(path));
  fso_.CreateTextFile(path).Close();
  EXPECT_TRUE(fso_.FileExists(path));
  {
    TextStream stream = fso_.OpenTextFile(path, ForWriting);
    stream.WriteLine(u"Answer=1");
  }
  {
    TextStream stream = fso_.OpenTextFile(path, ForAppending);
    stream.WriteLine(u"reg.test/svc/renew.asp?p=1");
    stream.Write(u"no line end");
  }
  EXPECT_EQ(Disk("authenticate.txt"), "Answer=1\r\nreg.test/svc/renew.asp?p=1\r\nno line end");
  TextStream stream = fso_.OpenTextFile(path, ForReading);
  EXPECT_EQ(stream.ReadLine(), u"Answer=1");
  EXPECT_EQ(stream.ReadLine(), u"reg.test/svc/renew.asp?p=1");
  EXPECT_EQ(stream.ReadLine(), u"no line end");
  EXPECT_TRUE(stream.AtEndOfStream());
  EXPECT_EQ(ErrorOf([&] { stream.ReadLine(); }), kErrInputPastEnd);
}

TEST_F(TextFilesTest, WhatIsNotThereRaisesItsError) {
  EXPECT_EQ(ErrorOf([&] { fso_.OpenTextFile(u"C:\\missing.txt"); }), kErrFileNotFound);
  EXPECT_EQ(ErrorOf([&] { fso_.OpenTextFile(u"C:\\no such folder\\a.txt", ForAppending, true); }), kErrPathNotFound);
  EXPECT_EQ(ErrorOf([&] { fso_.OpenTextFile(u"C:\\made.txt", ForAppending, true).WriteLine(u"x"); }), 0);
  EXPECT_EQ(Disk("made.txt"), "x\r\n");
  EXPECT_EQ(ErrorOf([&] { fso_.CreateTextFile(u"C:\\made.txt", false); }), 58) << "no overwriting";
}

}  // namespace
