// The failure form: Finish ends the program, Try Again opens the change form.
#pragma once

#include "forms.h"
#include "modules/program_routines.h"

class frmPwdFailed : public Form {
 public:
  frmPwdFailed();

  Label Label1{this, "Label1",
               u"Sorry, there was an error when attempting to assign your password to your Tavik.  Please re-try "
               u"assigning your password.  If \"Selvanor\" fails again, please visit support at "
               u"http://support.teradolm.test/tavik for instructions on how to replace your Tavik."};
  CommandButton Command1{this, "Command1", u"&Finish"};
  CommandButton Command2{this, "Command2", u"&Try Again"};
  Image Image1{this, "Image1"};

 protected:
  void Form_Resize() override { form_resize(*this, resize_); }
  void Form_KeyDown(int& key_code, int shift) override;

 private:
  ResizeRecord resize_;
};
