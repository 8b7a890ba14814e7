// The password program: the start form first; the program ends when its last form has closed.
#include "forms.h"
#include "frm_intro.h"
#include "string_table.h"

void Main() {
  App.Title = kProgramTitle;
  The<frmIntro>().Show();
}
