// The failure form's Finish and Try Again.
#include "frm_pwd_failed.h"

#include "frm_change_pwd.h"
#include "string_table.h"

frmPwdFailed::frmPwdFailed() : Form("frmPwdFailed") {
  SetCaption(kFormCaption);
  SetKeyPreview(true);
  Move(0, 0, 7200, 5400);
  Image1.SetPicture(LoadResPicture(109));
  Command1.Click = [this] { Unload(*this); };
  Command2.Click = [this] {
    Unload(*this);
    The<frmChangePwd>().Show(ShowMode::kModal);
  };
}

void frmPwdFailed::Form_KeyDown(int& key_code, int) {
  if (key_code == 13) Unload(*this);
}
