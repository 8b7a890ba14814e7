// The entry of a form program (xp_forms_main, linked into programs only): the runtime runs the program's Main.
#include "forms.h"

void RunFormsProgram(void (*main)());

int main() { RunFormsProgram(&Main); }
