// The success form's Finish.
#include "frm_burn_pwd_success.h"

#include "string_table.h"

frmBurnPwdSuccess::frmBurnPwdSuccess() : Form("frmBurnPwdSuccess") {
  SetCaption(kFormCaption);
  SetKeyPreview(true);
  Move(0, 0, 7200, 5400);
  Image1.SetPicture(LoadResPicture(105));
  Command1.Click = [this] { Unload(*this); };
}

void frmBurnPwdSuccess::Form_KeyDown(int& key_code, int) {
  if (key_code == 13) Unload(*this);
}
