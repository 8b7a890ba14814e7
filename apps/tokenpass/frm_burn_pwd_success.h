// The success form, which ends the program.
#pragma once

#include "forms.h"
#include "modules/program_routines.h"

class frmBurnPwdSuccess : public Form {
 public:
  frmBurnPwdSuccess();

  Label Label1{this, "Label1",
               u"Congratulations!  You have successfully assigned your password to your Tavik.  Click 'FINISH' below "
               u"to close this window."};
  CommandButton Command1{this, "Command1", u"&Finish"};
  Image Image1{this, "Image1"};

 protected:
  void Form_Resize() override { form_resize(*this, resize_); }
  void Form_KeyDown(int& key_code, int shift) override;

 private:
  ResizeRecord resize_;
};
