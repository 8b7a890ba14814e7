// The registration form: the token password, checked on the token; a challenge from the web service answered by
// the token; the registration page opened in the browser with the encrypted answer and password.
#pragma once

#include "forms.h"

class frmRegister : public Form {
 public:
  frmRegister();

  Label lblTop{this, "lblTop"};
  TextBox txtPwd{this, "txtPwd"};
  Label Label3{this, "Label3"};
  Label Label1{this, "Label1"};
  Label lblESN{this, "lblESN"};
  Label lblStatus{this, "lblStatus"};
  Image Image2{this, "Image2"};
  CommandButton cmdAuthenticate{this, "cmdAuthenticate", u"OK"};
  CommandButton cmdCancel{this, "cmdCancel", u"Cancel"};
  ComboBox Combo1{this, "Combo1"};
  ComboBox Combo2{this, "Combo2"};
  TextBox txtpwdstatus{this, "txtpwdstatus", u"0"};
  CommandButton Command1{this, "Command1", u"Command1"};

  // The ESN read again, into the ESN line (wParam is the device change's, and not used).
  void RefreshESN(WPARAM& wParam);

 protected:
  void Form_Load() override;
  void Form_Activate() override { txtPwd.SetFocus(); }
  void Form_Unload(int& cancel) override;

 private:
  void cmdAuthenticate_Click();
  void AddStatus(const std::u16string& text);
  void ShowEsn();
};
