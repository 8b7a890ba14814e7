// The assignment form's events and its assignment.
#include "frm_burn_pwd.h"

#include "frm_intro.h"
#include "frm_pwd_failed.h"
#include "modules/nubo_driver.h"
#include "password_rules.h"
#include "string_table.h"

frmBurnPwd::frmBurnPwd() : Form("frmBurnPwd") {
  SetCaption(kFormCaption);
  Move(0, 0, 7200, 5400);
  for (TextBox* box : {&txtpwd1, &txtpwd}) {
    box->SetPasswordChar(u'*');
    box->SetMaxLength(63);
  }
  txtpwd1.SetTabIndex(1);
  txtpwd.SetTabIndex(2);
  Command4.SetTabIndex(3);
  Command3.SetTabIndex(4);
  Label1.SetFontName("Comic Sans MS");
  Image1.SetPicture(LoadResPicture(103));
  txtpwd1.KeyPress = [this](int& key) {
    if (key == 13) txtpwd.SetFocus();
  };
  txtpwd.KeyPress = [this](int& key) {
    if (key == 13) Assign(PromptVariant::kEnterInConfirmBox);
  };
  Command3.Click = [this] { Assign(PromptVariant::kNextButton); };
  Command4.Click = [this] {
    Unload(*this);
    The<frmIntro>().Show(ShowMode::kModal);
  };
}

void frmBurnPwd::Form_Load() { WinSetFloating(hWnd(), true); }

void frmBurnPwd::Assign(PromptVariant variant) {
  const std::u16string typed = txtpwd1.Text();
  const std::u16string confirmed = txtpwd.Text();
  if (typed != confirmed) {
    MsgBox(u"The passwords you typed do not match.  Type the new password in both text boxes.");
    txtpwd.SetText(u"");
    return;
  }
  if (const std::optional<Refusal> refusal = AssignmentLengthRefusal(typed)) {
    MsgBox(refusal->text, refusal->style);
    txtpwd1.SetText(u"");
    txtpwd.SetText(u"");
    txtpwd1.SetFocus();
    return;
  }
  SetMousePointer(kHourglassPointer);
  Sleep(2000);
  const int result = NuboDriver::BurnTokenPassword(confirmed);
  if (result == 0) {
    SetMousePointer(kDefaultPointer);
    Unload(*this);
    The<frmPwdFailed>().Show(ShowMode::kModal);
  } else if (result == 1) {
    RegistrationPrompt(*this, variant);
  } else {
    SetMousePointer(kDefaultPointer);
  }
}
