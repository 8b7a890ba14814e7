// The start form: it asks the token once whether it already has a password, and opens the assignment form or the
// change form.
#pragma once

#include "forms.h"
#include "modules/program_routines.h"
#include "string_table.h"

class frmIntro : public Form {
 public:
  frmIntro();

  CommandButton Command1{this, "Command1", u"&Continue >>"};
  Label Label4{this, "Label4", kIntroText};
  Label Label2{this, "Label2", kLengthHint};
  Image Image1{this, "Image1"};

 protected:
  void Form_Initialize() override;
  void Form_Resize() override { form_resize(*this, resize_); }
  void Form_KeyDown(int& key_code, int shift) override;

 private:
  void Continue();
  ResizeRecord resize_;
};
