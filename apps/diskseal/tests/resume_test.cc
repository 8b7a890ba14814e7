// What a resumed run does with what a crash left: the leftover temporary copies settled by the history, and a
// token whose key is not the install's refused before any file is touched.
#include "diskseal_private.h"
#include "engine_fixture.h"
#include "setupcore.h"

namespace tavik::diskseal::testing {
namespace {

class ResumeTest : public EngineTest {
 protected:
  void SetUp() override { MakeKeys(); }
};

TEST_F(ResumeTest, LeftoversAreSettledByTheHistory) {
  // Committed: the encrypted file and its stale plain copy.
  Put("D:\\a\\committed.txt", "ciphertext");
  Put("D:\\a\\committed.txt.H1K", "plain committed");
  // In flight: a partly written file and its plain copy.
  Put("D:\\a\\flight.txt", "partial");
  Put("D:\\a\\flight.txt.H1K", "plain in flight");
  SetFileAttributesA("D:\\a\\flight.txt.H1K", FILE_ATTRIBUTE_READONLY);
  // Renamed and nothing more.
  Put("C:\\Documents and Settings\\renamed.doc.H1K", "plain renamed");
  // The user's own file with that ending, which the install encrypted.
  Put("D:\\a\\notes.H1K", "user's encrypted notes");
  Put("D:\\a\\notes", "user's other file");
  // A pair of the user's that the walk had not reached: the file is longer than the one with the ending, so no
  // conversion was in flight between them.
  Put("D:\\a\\draft.H1K", "old draft");
  Put("D:\\a\\draft", "the user's newer, longer draft");
  Put(InInstallFolder("MRVENCHS"), "D:\\a\\committed.txt\r\nD:\\a\\notes.H1K\r\n");

  engine().RestoreTemporaryFiles();
  engine().FreeEncryptionFiles();

  EXPECT_EQ(Get("D:\\a\\committed.txt"), "ciphertext");
  EXPECT_FALSE(Exists("D:\\a\\committed.txt.H1K"));
  EXPECT_EQ(Get("D:\\a\\flight.txt"), "plain in flight");
  EXPECT_EQ(Attributes("D:\\a\\flight.txt") & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
  EXPECT_FALSE(Exists("D:\\a\\flight.txt.H1K"));
  EXPECT_EQ(Get("C:\\Documents and Settings\\renamed.doc"), "plain renamed");
  EXPECT_EQ(Get("D:\\a\\notes.H1K"), "user's encrypted notes");
  EXPECT_EQ(Get("D:\\a\\notes"), "user's other file");
  EXPECT_EQ(Get("D:\\a\\draft.H1K"), "old draft");
  EXPECT_EQ(Get("D:\\a\\draft"), "the user's newer, longer draft");
}

TEST_F(ResumeTest, ATokenWhoseKeyChangedEncryptsNothing) {
  Put("D:\\data\\a.txt", "plain");
  // The token was used for another install meanwhile: a new S1.
  unsigned char s1[17];
  char hex[33];
  generate_s1(s1, hex);
  ASSERT_EQ(write_nubo_s1(s1, 16), 1);
  std::string stop;
  try {
    engine().RunFirstPass();
  } catch (const InstallStop& raised) {
    stop = raised.text;
  }
  EXPECT_EQ(stop,
            "The key on your Tavik is not the key your files were encrypted with.\r\n"
            "Please insert the Tavik this installation was started with.");
  EXPECT_FALSE(engine().key_ready());
  EXPECT_EQ(Get("D:\\data\\a.txt"), "plain");
  EXPECT_FALSE(Exists(InInstallFolder("MRVENCHS")));
}

TEST_F(ResumeTest, ADamagedHistoryLineCostsOnlyItself) {
  Put("D:\\data\\a.txt", "a");
  Put("D:\\data\\b.txt", "b");
  Put(InInstallFolder("MRVENCHS"), "D:\\data\\a.txt\r\nD:\r\nD:\\data\\b.txt\r\n");
  xp::ui::Script script;
  script.ExpectBox("Quillmarsh Tavik", "A corrupted encryption history file has been restored.").Answer(IDOK);
  Play(script);
  ASSERT_TRUE(engine().InitEncryptionFiles());
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
  engine().FreeEncryptionFiles();
  EXPECT_EQ(Lines(InInstallFolder("MRVENCHS")), (std::vector<std::string>{"D:\\data\\a.txt", "D:\\data\\b.txt"}));
}

}  // namespace
}  // namespace tavik::diskseal::testing
