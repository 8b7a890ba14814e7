// The program object, the screen and its mouse pointer, and the message box, shown through the UI engine in the
// machine's code page.
#include "forms_private.h"

Application App;
ScreenObject Screen;

void ScreenObject::SetMousePointer(int pointer) {
  if (pointer == pointer_) return;
  pointer_ = pointer;
  xp::ui::ScreenNote("pointer " + std::to_string(pointer));
}

int MsgBox(std::u16string_view prompt, UINT buttons, std::optional<std::u16string> title) {
  const int answer = xp::ui::ShowBox({AnsiOf(title ? *title : App.Title), AnsiOf(prompt), buttons});
  if (answer == 0) Err.Raise(kErrInvalidCall, u"MsgBox", u"Invalid procedure call or argument");
  return answer;
}
