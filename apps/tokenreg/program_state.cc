// The registration program's state of program_state.h, and its switch of the web client.
#include "program_state.h"

bool UseSSL = false;
std::u16string ESN;
HWND FormWindow = nullptr;
WNDPROC SavedWindowProcedure = nullptr;
