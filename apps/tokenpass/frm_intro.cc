// The start form's creation and its Continue.
#include "frm_intro.h"

#include "frm_burn_pwd.h"
#include "frm_change_pwd.h"
#include "modules/nubo_driver.h"
#include "program_state.h"

frmIntro::frmIntro() : Form("frmIntro") {
  SetCaption(kFormCaption);
  SetKeyPreview(true);
  Move(0, 0, 7200, 5400);
  Image1.SetPicture(LoadResPicture(103));
  Command1.Click = [this] { Continue(); };
}

// Once per run: later shows of the start form come up with their design texts.
void frmIntro::Form_Initialize() {
  Common::ProbeDone = false;
  Utility::ChineseLocale = IsChineseLocale();
  SetCaption(LoadResString(kCaptionString));
  Label4.SetCaption(LoadResString(kIntroString));
  Label2.SetCaption(LoadResString(Utility::ChineseLocale ? kChineseLengthHintString : kLengthHintString));
}

void frmIntro::Form_KeyDown(int& key_code, int) {
  if (key_code == 13) Continue();
}

void frmIntro::Continue() {
  SetMousePointer(kHourglassPointer);
  if (!NuboDriver::IsTokenPresent()) {
    Common::ProbeDone = false;
    SetMousePointer(kDefaultPointer);
    MsgBox(u"Nubo not detected.  Please make sure that your Nubo is securely inserted into the USB port on your "
           u"computer, and that the Nubo Driver is correctly installed.");
    return;
  }
  int result = Common::ProbeResult;
  if (!Common::ProbeDone) {
    result = NuboDriver::CheckTokenPassword(u"");
    Common::ProbeDone = true;
    Common::ProbeResult = result;
  }
  SetMousePointer(kDefaultPointer);
  Unload(*this);
  if (result < 1) {
    The<frmBurnPwd>().Show(ShowMode::kModal);
  } else {
    The<frmChangePwd>().Show(ShowMode::kModal);
  }
}
