// The wrappers when their libraries cannot be bound at all (a program of its own: a function once bound stays bound
// for the process). Each token wrapper says why and gives its failure value; the cipher wrappers give nothing; no
// call ends the run.
#include <gtest/gtest.h>

#include "forms.h"
#include "modules/aes_api.h"
#include "modules/nubo_driver.h"
#include "scratch_machine.h"
#include "xp/faults.h"
#include "xp/ui_script.h"

namespace {

constexpr char16_t kPuzzle[] = u"00112233445566778899aabbccddeeff";

class UnboundTest : public ::testing::Test {
 protected:
  UnboundTest() { App.Title = u"Selvanor"; }
  xp::test::ScratchMachine machine_;
};

// A token library that cannot be bound: every wrapper says why and gives its failure value; nothing ends the run.
TEST_F(UnboundTest, AnUnboundTokenLibraryIsReportedByEveryWrapper) {
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "LoadLibraryA", 1, 0, ERROR_MOD_NOT_FOUND, "tokenio"});
  const std::string missing =
      "The tokenio.dll file cannot be found.  Please install another Teradolm product first so that the necessary "
      "Nubo Driver will be present.";
  xp::ui::Script script;
  for (int i = 0; i < 6; ++i) script.ExpectBox("Selvanor", missing, MB_OK | MB_ICONERROR).Answer(IDOK);
  script.Install(machine_.root());
  std::u16string esn;
  std::u16string kid;
  EXPECT_EQ(NuboDriver::ReadTokenEsn(esn), 0);
  EXPECT_EQ(esn, std::u16string(128, u'\0'));
  EXPECT_FALSE(NuboDriver::IsTokenPresent());
  EXPECT_EQ(NuboDriver::CheckTokenPassword(u""), 251);
  EXPECT_FALSE(NuboDriver::ResetTokenPassword());
  EXPECT_EQ(NuboDriver::SolvePuzzle(kid, kPuzzle, kPuzzle), u"Error");
  EXPECT_EQ(NuboDriver::GetTokenEsn(), u"");
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

TEST_F(UnboundTest, AnUnboundCipherLibraryGivesNothing) {
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "LoadLibraryA", 1, 0, ERROR_MOD_NOT_FOUND, "cipherkit"});
  EXPECT_EQ(aesAPI::EncKeyHex(u"Secret12", u"2B7E151628AED2A6ABF7158809CF4F3C"), u"");
  EXPECT_EQ(aesAPI::DecKeyHex(u"00", u"2B7E151628AED2A6ABF7158809CF4F3C"), u"");
}

}  // namespace
