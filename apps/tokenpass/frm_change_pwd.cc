// The change form: input checks (one refusal per Next), the current password on the token, then the reset to the
// empty password and the new assignment. The ESN is read before the reset, so a token that cannot give one is
// refused while it still holds its old password.
#include "frm_change_pwd.h"

#include "frm_intro.h"
#include "frm_pwd_failed.h"
#include "modules/nubo_driver.h"
#include "password_rules.h"
#include "program_state.h"
#include "registration_prompt.h"
#include "string_table.h"

frmChangePwd::frmChangePwd() : Form("frmChangePwd") {
  SetCaption(kFormCaption);
  Move(0, 0, 7200, 5400);
  int tab = 0;
  for (Control* control : std::initializer_list<Control*>{&Frame1, &txtOriginal, &txtpwd1, &txtpwd2, &lblOrig, &lblpwd,
                                                          &lblPwd2, &Command3, &Command2, &Command1}) {
    control->SetTabIndex(tab++);
  }
  for (TextBox* box : {&txtOriginal, &txtpwd1, &txtpwd2}) {
    box->SetPasswordChar(u'*');
    box->SetMaxLength(63);
  }
  Image1.SetPicture(LoadResPicture(103));
  txtOriginal.KeyPress = [this](int& key) {
    if (key == 13) txtpwd1.SetFocus();
  };
  txtpwd1.KeyPress = [this](int& key) {
    if (key == 13) txtpwd2.SetFocus();
  };
  txtpwd2.KeyPress = [this](int& key) {
    if (key == 13) Change();
  };
  Command2.Click = [this] { Change(); };
  Command3.Click = [this] {
    Unload(*this);
    The<frmIntro>().Show(ShowMode::kModal);
  };
  Command1.Click = [this] {
    if (MsgBox(u"Are you sure you want to quit?\r\n\r\nIf you cancel now, no changes will be made.",
               MB_YESNO | MB_ICONINFORMATION, u"Canceling Restration!") == IDYES) {
      Unload(*this);
    }
  };
}

void frmChangePwd::Refuse(const std::u16string& text, UINT style) {
  MsgBox(text, style);
  txtOriginal.SetText(u"");
  txtpwd1.SetText(u"");
  txtpwd2.SetText(u"");
  txtOriginal.SetFocus();
}

void frmChangePwd::Change() {
  const std::u16string current = txtOriginal.Text();
  const std::u16string next = txtpwd1.Text();
  if (next != txtpwd2.Text()) return Refuse(u"Your confirm password does not match your new password.", MB_OK);
  if (next.size() < 6) {
    return Refuse(u"Your new password cannot be less than 6 characters.  Type a password with at least 6 characters.",
                  MB_OK | MB_ICONINFORMATION);
  }
  const size_t ansi_bytes = AnsiOf(next).size();
  if (Utility::ChineseLocale && ansi_bytes >= kPasswordBlockBytes) {
    return Refuse(kChineseTooLong, MB_OK | MB_ICONINFORMATION);
  }
  // Elsewhere 64 characters are too many, and so is an ANSI form the token's block cannot hold.
  if (!Utility::ChineseLocale && (next.size() >= 64 || ansi_bytes > kPasswordBlockBytes)) {
    return Refuse(kMoreThan63, MB_OK | MB_ICONINFORMATION);
  }

  SetMousePointer(kHourglassPointer);
  if (!NuboDriver::IsTokenPresent()) {
    MsgBox(u"Tavik is not currently inserted.  Please insert your Tavik into the USB port on your computer.");
    SetMousePointer(kDefaultPointer);
    return;
  }
  if (NuboDriver::CheckTokenPassword(current) > 0) {
    SetMousePointer(kDefaultPointer);
    return Refuse(u"The original password you typed is not correct.  Please type the correct original password.",
                  MB_OK);
  }
  SetMousePointer(kDefaultPointer);

  SetMousePointer(kHourglassPointer);
  Sleep(2000);
  std::u16string esn;
  if (NuboDriver::ReadTokenEsn(esn) == 0 || esn.empty()) {
    SetMousePointer(kDefaultPointer);
    if (esn.empty()) MsgBox(u"Please insert your Nubo before proceeding.");
    return;
  }
  const bool reset = NuboDriver::ResetTokenPassword();
  const int result = reset ? NuboDriver::BurnTokenPassword(next) : 0;
  SetMousePointer(kDefaultPointer);
  if (result == 1) return RegistrationPrompt(*this, PromptVariant::kChangeForm);
  // The token keeps the empty password when the new one could not be set: Try Again takes it as the current one.
  Unload(*this);
  The<frmPwdFailed>().Show(ShowMode::kModal);
}
