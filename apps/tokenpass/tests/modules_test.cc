// The modules both form-based programs share, called in this process against the machine's token and the key
// cipher library: the key slot a kid gives, the wrappers' failure values, the web-client setting with its messages,
// small text files, the cipher wrappers, and the resize handler.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "forms.h"
#include "modules/aes_api.h"
#include "modules/nubo_driver.h"
#include "modules/program_routines.h"
#include "scratch_machine.h"
#include "tokenio.h"
#include "ui_journal.h"
#include "xp/faults.h"
#include "xp/ui_script.h"
#include "xp/usbtoken.h"

namespace {

constexpr char kPuzzle[] = "00112233445566778899aabbccddeeff";
constexpr char kClientKey[] = "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0";

class ModulesTest : public ::testing::Test {
 protected:
  ModulesTest() { App.Title = u"Selvanor"; }
  void Expect(const xp::ui::Script& script) const { script.Install(machine_.root()); }
  static void SetSetting(const char* name, const std::string& bytes, DWORD type = REG_SZ) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kClientKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  std::string TokenAnswer(int slot) const {
    char answer[33] = {};
    EXPECT_EQ(SolvePuzzle(slot, kPuzzle, kPuzzle, answer), 1);
    return answer;
  }

  xp::test::ScratchMachine machine_;
};

TEST_F(ModulesTest, AKidGivesItsKeySlotOrSlotOneAndIsCorrectedInPlace) {
  const struct {
    std::u16string kid;
    std::u16string corrected;
    int slot;
  } cases[] = {{u"", u"0", 0},   {u"7", u"7", 7},    {u"15", u"15", 15}, {u"16", u"1", 1},   {u"-1", u"1", 1},
               {u"70000", u"1", 1}, {u"abc", u"1", 1}, {u"3x", u"1", 1},   {u"+4", u"1", 1},  {u"07", u"07", 7}};
  for (const auto& c : cases) {
    std::u16string kid = c.kid;
    const std::u16string answer = NuboDriver::SolvePuzzle(kid, TextOfAnsi(kPuzzle), TextOfAnsi(kPuzzle));
    EXPECT_EQ(kid, c.corrected) << AnsiOf(c.kid);
    EXPECT_EQ(AnsiOf(answer), AnsiOf(UCase(TextOfAnsi(TokenAnswer(c.slot))))) << AnsiOf(c.kid);
  }
}

TEST_F(ModulesTest, APuzzleOrBlockOfAnotherLengthIsRefusedWithoutAskingTheToken) {
  const std::u16string puzzle = TextOfAnsi(kPuzzle);
  ASSERT_TRUE(xp::usbtoken::ClearRequestLog(machine_.root(), machine_.token_id()));
  for (const auto& [selector, block] : {std::pair{puzzle.substr(1), puzzle}, std::pair{puzzle, puzzle + u"0"}}) {
    std::u16string kid = u"3";
    EXPECT_EQ(NuboDriver::SolvePuzzle(kid, selector, block), u"Invalid Inputs");
  }
  EXPECT_TRUE(xp::usbtoken::RequestLog(machine_.root(), machine_.token_id()).empty());
}

TEST_F(ModulesTest, WithoutATokenTheWrappersGiveTheirFailureValues) {
  ASSERT_TRUE(xp::usbtoken::Unplug(machine_.root(), machine_.token_id()));
  NuboDriver::KeyId = u"kept";
  xp::ui::Script script;
  script.ExpectBox("Selvanor", "Please insert your Nubo before proceeding.", MB_OK).Answer(IDOK);
  Expect(script);
  std::u16string kid = u"3";
  EXPECT_FALSE(NuboDriver::IsTokenPresent());
  EXPECT_EQ(NuboDriver::CheckTokenPassword(u"Secret12"), 251);
  EXPECT_EQ(NuboDriver::SolvePuzzle(kid, TextOfAnsi(kPuzzle), TextOfAnsi(kPuzzle)), u"Error");
  EXPECT_FALSE(NuboDriver::ResetTokenPassword());
  EXPECT_EQ(NuboDriver::BurnTokenPassword(u"Secret12"), 2);
  EXPECT_EQ(NuboDriver::KeyId, u"kept");
  EXPECT_EQ(NuboDriver::GetTokenEsn(), u"");
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

TEST_F(ModulesTest, TheWebClientSettingShowsWhyItCannotBeRead) {
  const std::string no_value = "2 - Cannot find key value - ";
  xp::ui::Script script;
  script.ExpectBox("Selvanor", "2 - Cannot find key - SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", MB_OK).Answer(IDOK);
  script.ExpectBox("Selvanor", no_value, MB_OK).Answer(IDOK);
  script.ExpectBox("Selvanor", "234 - Cannot find key value - ", MB_OK).Answer(IDOK);
  Expect(script);
  EXPECT_EQ(ReadWebClientSetting(u"ServerPath"), u"");
  SetSetting("ServerPath", std::string("client.teradolm.test/tavik/") + '\0');
  SetSetting("SSL", "1");                   // stored without its terminator: the last character stays
  SetSetting("testing", std::string(), REG_SZ);  // stored empty
  SetSetting("TooLong", std::string(300, 'x') + '\0');
  EXPECT_EQ(ReadWebClientSetting(u"serverpath"), u"client.teradolm.test/tavik/");
  EXPECT_EQ(ReadWebClientSetting(u"SSL"), u"1");
  EXPECT_EQ(ReadWebClientSetting(u"testing"), u"");
  EXPECT_EQ(ReadWebClientSetting(u"Missing"), u"");
  EXPECT_EQ(ReadWebClientSetting(u"TooLong"), u"");
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

TEST_F(ModulesTest, OnlyTheNumberOneSwitchesASettingOn) {
  for (const auto& [text, on] : {std::pair{u"1", true}, {u"01", true}, {u" 1 ", true}, {u"+1", true}, {u"0", false},
                                 {u"", false}, {u"2", false}, {u"1.5", false}, {u"yes", false}, {u"11", false}}) {
    EXPECT_EQ(SettingIsOne(text), on) << AnsiOf(text);
  }
}

TEST_F(ModulesTest, TextFilesAreMadeOnDemandAndReadByTheirFirstLine) {
  const std::u16string path = u"C:\\authenticate.txt";
  EXPECT_EQ(TextFileIO(2, u"ignored", path), u"") << "an empty file has no first line";
  EXPECT_EQ(TextFileIO(0, u"first", path), u"first");
  TextFileIO(3, u"second", path);
  TextFileIO(4, u"third", path);
  EXPECT_EQ(TextFileIO(2, u"", path), u"first");
  TextFileIO(3, u"appended", u"C:\\new.txt");
  EXPECT_EQ(TextFileIO(2, u"", u"C:\\new.txt"), u"appended");
  machine_.WriteBack();
  std::ifstream in(machine_.root() / "drives/C/authenticate.txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "first\r\nsecond\r\nthird");
}

TEST_F(ModulesTest, TheCipherWrappersRoundTripAndGiveNothingForARefusedKeyOrLength) {
  const std::u16string key = u"2B7E151628AED2A6ABF7158809CF4F3C";
  const std::u16string cipher = aesAPI::EncKeyHex(u"Secret12", key);
  EXPECT_EQ(cipher.size(), 48u);
  EXPECT_EQ(cipher.find_first_not_of(u"0123456789ABCDEF"), std::u16string::npos);
  EXPECT_EQ(aesAPI::DecKeyHex(cipher, key), u"Secret12");
  EXPECT_EQ(aesAPI::EncKeyHex(u"Secret12", u"ERROR"), u"");
  EXPECT_EQ(aesAPI::EncKeyHex(std::u16string(128, u'a'), key), u"");
}

class frmSized : public Form {
 public:
  frmSized() : Form("frmSized") {
    Move(0, 0, 4000, 3000);
    lblA.Move(100, 200, 1000, 300);
    cboB.Move(400, 600, 1200, 315);
  }
  Label lblA{this, "lblA"};
  ComboBox cboB{this, "cboB"};
  ResizeRecord record;

 protected:
  void Form_Resize() override { form_resize(*this, record); }
};

TEST_F(ModulesTest, ResizingScalesEveryControlAndSkipsWhatItCannot) {
  const auto form = NewForm<frmSized>();
  Load(*form);
  form->Move(0, 0, 4000, 3000);
  form_resize(*form, form->record);
  EXPECT_EQ(form->lblA.Width(), 1000) << "the first pass keeps the design";
  form->Move(0, 0, 8000, 3000);
  EXPECT_EQ(form->lblA.Width(), 2000);
  EXPECT_EQ(form->lblA.Left(), 200);
  EXPECT_EQ(form->lblA.Height(), 300);
  EXPECT_EQ(form->cboB.Width(), 2400) << "a list whose height is read-only still scales its width";
  EXPECT_EQ(form->cboB.Height(), 315);
  form->Move(0, 0, 0, 0);
  form->Move(0, 0, 4000, 3000);
  EXPECT_EQ(form->lblA.Width(), 1000) << "a pass of no size is skipped; the layout comes back";
  EXPECT_EQ(form->lblA.Top(), 200);
}

TEST_F(ModulesTest, AWindowPutOnTopAlsoMovesToTheCorner) {
  const auto form = NewForm<frmSized>();
  WinSetFloating(form->hWnd(), true);
  EXPECT_EQ(xp::test::UiJournal(machine_.root()).back(), "dialog frmSized topmost at 0,0");
}

TEST_F(ModulesTest, ALocaleThatCannotBeReadIsReportedAndCountsAsNotChinese) {
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "GetLocaleInfoA", 1, 1, ERROR_INVALID_PARAMETER, ""});
  xp::ui::Script script;
  script.ExpectBox("Selvanor", "Error reading locale information. Please contact Teradolm tech support.", MB_OK)
      .Answer(IDOK);
  Expect(script);
  EXPECT_FALSE(IsChineseLocale());
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

}  // namespace
