// The registration program: one form, on top of every window; the program ends when it closes.
#include "forms.h"
#include "frm_register.h"
#include "modules/nubo_driver.h"
#include "string_table.h"

void Main() {
  App.Title = kProgramTitle;
  // This program waits longer than the password program: before each password check, each ESN read and each answer.
  NuboDriver::SetWaits({.before_password_check = 4000, .before_esn_read = 2000, .before_answer = 4000});
  The<frmRegister>().Show();
}
