// The escrow form's assign: the same checks as the assignment form before the token is touched, the burn, then
// the renew exchange. A password whose encryption does not come back is not sent: the service would keep garbage
// in place of a good deposit.
#include "frm_confirm.h"

#include "frm_burn_pwd.h"
#include "frm_burn_pwd_success.h"
#include "frm_pwd_failed.h"
#include "modules/aes_api.h"
#include "modules/frm_http_query.h"
#include "modules/nubo_driver.h"
#include "password_rules.h"
#include "registration_prompt.h"
#include "string_table.h"

namespace {

constexpr char16_t kNotUpdated[] =
    u"Password is assigned to your Tavik but not updated on the Server. Please try again using your new password.";

}  // namespace

std::u16string RenewTarget(const std::u16string& server_path, const std::u16string& bound_password,
                           const std::u16string& key_id, const std::u16string& encrypted_password) {
  return server_path + u"renew.asp" + u"?p=" + bound_password + u"g" + key_id + u"g" + kRenewKeyIndex + u"g" +
         kRenewChallenge + u"g" + encrypted_password;
}

frmConfirm::frmConfirm() : Form("frmConfirm") {
  Move(0, 0, 7200, 5400);
  for (TextBox* box : {&txtpwd, &txtpwd1}) {
    box->SetPasswordChar(u'*');
    box->SetMaxLength(63);
  }
  txtpwd.SetTabIndex(1);
  txtpwd1.SetTabIndex(2);
  cmdAssign.SetTabIndex(3);
  cmdBack.SetTabIndex(4);
  txtpwd.KeyPress = [this](int& key) {
    if (key == 13) cmdAssign_Click();
  };
  cmdAssign.Click = [this] { cmdAssign_Click(); };
  cmdBack.Click = [this] { Unload(*this); };
}

void frmConfirm::Form_Initialize() {
  SetCaption(LoadResString(kCaptionString));
  lblpwdselected.SetCaption(LoadResString(kSelectedString));
  lblconfirmpwd.SetCaption(LoadResString(kRetypeString));
  cmdAssign.SetPicture(LoadResPicture(108));
  cmdBack.SetPicture(LoadResPicture(101));
  Image1.SetPicture(LoadResPicture(103));
  Image2.SetPicture(LoadResPicture(109));
  Image3.SetPicture(LoadResPicture(105));
}

void frmConfirm::Form_Load() { WinSetFloating(hWnd(), true); }

void frmConfirm::cmdAssign_Click() {
  if (txtpwd1.Text() != txtpwd.Text()) {
    MsgBox(u"The passwords you typed do not match.  Type the new password in both text boxes.");
    txtpwd.SetText(u"");
    return;
  }
  if (const std::optional<Refusal> refusal = AssignmentLengthRefusal(txtpwd.Text())) {
    MsgBox(refusal->text, refusal->style);
    txtpwd.SetText(u"");
    txtpwd1.SetText(u"");
    txtpwd.SetFocus();
    return;
  }
  SetMousePointer(kHourglassPointer);
  Sleep(2000);
  int outcome = NuboDriver::BurnTokenPassword(txtpwd.Text());
  if (outcome == 0) {
    SetMousePointer(kDefaultPointer);
    Unload(*this);
    Unload(The<frmBurnPwd>());
    The<frmPwdFailed>().Show(ShowMode::kModal);
    return;
  }
  if (outcome != 1) {
    SetMousePointer(kDefaultPointer);
    return;
  }

  const std::u16string server_path = ReadWebClientSetting(u"ServerPath");
  const std::u16string password = txtpwd1.Text();
  NuboDriver::CheckTokenPassword(password);
  std::u16string key_index = kRenewKeyIndex;
  const std::u16string answer = UCase(NuboDriver::SolvePuzzle(key_index, kRenewChallenge, kRenewChallenge));
  const std::u16string bound_password = aesAPI::EncKeyHex(kRenewChallenge + password, answer);
  const std::u16string encrypted_password = aesAPI::EncKeyHex(password, answer);
  const bool encrypted = aesAPI::DecKeyHex(encrypted_password, answer) == password;
  if (!encrypted) {
    outcome = 0;
    SetMousePointer(kDefaultPointer);
    MsgBox(u"Password Encryption Error. Password is assigned to your Tavik but not updated on the Server. Please "
           u"try again using your new password.");
  }
  const std::u16string target = RenewTarget(server_path, bound_password, NuboDriver::KeyId, encrypted_password);
  DebugLine(0, u"Answer=NuboDriver.SolvePuzzle(kid, puzzle, puzzle):" + answer);
  DebugLine(3, target);
  if (encrypted) {
    const std::u16string reply = QueryPage(target);
    DebugLine(3, reply);
    if (InStr(reply, u"Successful") == std::u16string::npos) {
      outcome = 0;
      SetMousePointer(kDefaultPointer);
      MsgBox(u"Error in opening url " + server_path + u"renew.asp" + u" with result: " + reply + u". Please try again.");
      MsgBox(kNotUpdated);
    }
    DebugLine(3, reply);
  }
  SetMousePointer(kDefaultPointer);
  if (outcome != 1) {
    Unload(*this);
    Unload(The<frmBurnPwd>());
    The<frmPwdFailed>().Show(ShowMode::kModal);
    return;
  }
  const bool registering = UserWantsRegistration(PromptVariant::kNextButton);
  if (registering) RunRegistration(*this);
  Unload(*this);
  if (registering) Unload(The<frmBurnPwd>());
  The<frmBurnPwdSuccess>().Show(ShowMode::kModal);
}
