// The assignment form: a first password for a token that has none, typed twice.
#pragma once

#include "forms.h"
#include "modules/program_routines.h"
#include "registration_prompt.h"

class frmBurnPwd : public Form {
 public:
  frmBurnPwd();

  Frame Frame1{this, "Frame1", u" Tavik Password "};
  Label lblpwd{this, "lblpwd", u"Password:"};
  TextBox txtpwd1{this, "txtpwd1"};
  Label lblPwd2{this, "lblPwd2", u"Confirm Password:"};
  TextBox txtpwd{this, "txtpwd"};
  Label Label1{this, "Label1",
               u"WARNING!  Assigning a password to your Tavik is a very important action. Please take the time to "
               u"carefully consider a strong password that you will not forget."};
  CommandButton Command4{this, "Command4", u"<< &Back"};
  CommandButton Command3{this, "Command3", u"&Next >>"};
  Image Image1{this, "Image1"};

 protected:
  void Form_Load() override;
  void Form_Activate() override { txtpwd1.SetFocus(); }
  void Form_Resize() override { form_resize(*this, resize_); }

 private:
  void Assign(PromptVariant variant);
  ResizeRecord resize_;
};
