// MessageBoxA: the system's message boxes, answered by the machine's UI driver and recorded in its journal.
#include "windows.h"
#include "winuser.h"
#include "xp/ui.h"

// Exported by user32.
extern "C" int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  // Windows shows "Error" on a box that has no caption.
  const xp::ui::Box box{caption != nullptr ? caption : "Error", text != nullptr ? text : "", type};
  // The owner only places the box on screen; it changes nothing a user or a test can observe here.
  const int answer = xp::ui::ShowBox(box);
  if (answer == 0) SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return answer;
}
