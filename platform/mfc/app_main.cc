// The entry of a dialog program: the framework's WinMain runs the program's application object, and its code
// becomes the process's exit code, whole, as when WinMain returns on XP. Linked into programs only (xp_mfc_main).
#include "afxwin.h"
#include "xp/loader.h"

namespace {

// An object of the program's own image, whose module handle is the program's instance.
const int kInProgramImage = 0;

}  // namespace

int main() {
  char command_line[] = "";
  ExitProcess(static_cast<UINT>(AfxWinMain(xp::ModuleOf(&kInProgramImage), nullptr, command_line, SW_SHOWNORMAL)));
}
