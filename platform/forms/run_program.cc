// A form program's life: its Main shows the first form, then the user acts on the shown form on top until none is
// left shown; the program then ends with exit code 0.
#include "forms_private.h"

void RunFormsProgram(void (*main)()) {
  RunEvent(main);
  while (Form* form = FormRuntime::TopShownForm()) FormRuntime::Turn(*form);
  ExitProcess(0);
}
