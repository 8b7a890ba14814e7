// The change form: the current password, and the new one twice, for a token that has a password.
#pragma once

#include "forms.h"
#include "modules/program_routines.h"

class frmChangePwd : public Form {
 public:
  frmChangePwd();

  Frame Frame1{this, "Frame1", u" Change Tavik Password "};
  TextBox txtOriginal{this, "txtOriginal"};
  Label lblOrig{this, "lblOrig", u"Current Password:"};
  TextBox txtpwd1{this, "txtpwd1"};
  Label lblpwd{this, "lblpwd", u"New Password:"};
  TextBox txtpwd2{this, "txtpwd2"};
  Label lblPwd2{this, "lblPwd2", u"Confirm Password:"};
  CommandButton Command3{this, "Command3", u"<< &Previous"};
  CommandButton Command2{this, "Command2", u"&Next >>"};
  CommandButton Command1{this, "Command1", u"&Cancel"};
  Image Image1{this, "Image1"};

 protected:
  void Form_Activate() override { txtOriginal.SetFocus(); }
  void Form_Resize() override { form_resize(*this, resize_); }

 private:
  void Change();
  void Refuse(const std::u16string& text, UINT style);
  ResizeRecord resize_;
};
