// The escrow form: a first password assigned to the token and deposited, encrypted, with the web service (the
// renew exchange). Built and shipped with the program; no flow of the program opens it.
#pragma once

#include "forms.h"
#include "modules/program_routines.h"

class frmConfirm : public Form {
 public:
  frmConfirm();

  TextBox txtpwd{this, "txtpwd"};
  TextBox txtpwd1{this, "txtpwd1"};
  Label lblpwdselected{this, "lblpwdselected"};
  Label lblconfirmpwd{this, "lblconfirmpwd"};
  CommandButton cmdAssign{this, "cmdAssign"};
  CommandButton cmdBack{this, "cmdBack"};
  Image Image1{this, "Image1"};
  Image Image2{this, "Image2"};
  Image Image3{this, "Image3"};

  void cmdAssign_Click();

 protected:
  void Form_Initialize() override;
  void Form_Load() override;
  void Form_Activate() override { txtpwd.SetFocus(); }
  void Form_Resize() override { form_resize(*this, resize_); }

 private:
  ResizeRecord resize_;
};

// The renew request's target: server path, "renew.asp" and the five fields joined by "g".
std::u16string RenewTarget(const std::u16string& server_path, const std::u16string& bound_password,
                           const std::u16string& key_id, const std::u16string& encrypted_password);
inline constexpr char16_t kRenewChallenge[] = u"5be83c1a07d94f62a1c0e7b3958d24f6";
inline constexpr char16_t kRenewKeyIndex[] = u"5";
