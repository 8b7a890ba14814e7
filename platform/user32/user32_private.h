// Declarations shared inside user32's dialog manager, grouped by the file that defines them. Windows live in one
// table under one lock; code that calls out (a dialog procedure, the UI engine) collects its effects under the lock
// and carries them out after releasing it.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commctrl.h"
#include "windows.h"
#include "winres.h"
#include "winuser.h"
#include "xp/ui.h"

namespace xp::user32 {

enum class WindowClass { kDialog, kButton, kEdit, kStatic, kComboBox, kListBox, kProgress, kForm };

// A modal dialog or one of its controls, or a form's window. The fields after the common ones belong to one class
// each.
struct Window {
  HWND handle = nullptr;
  WindowClass window_class = WindowClass::kStatic;
  HWND parent = nullptr;  // a control's dialog
  int id = 0;             // a control's ID; a dialog's template number
  DWORD style = 0;
  std::u16string text;  // a dialog's caption
  bool enabled = true;
  bool visible = true;

  // Edit.
  size_t limit = 0;  // what the user may type; 0: the default
  char16_t password_char = 0;
  bool read_only = false;
  size_t selection_start = 0;
  size_t selection_end = 0;
  // Check box and radio button.
  UINT check = BST_UNCHECKED;
  // Combo and list box.
  std::vector<std::u16string> items;
  int selected = -1;
  // Progress bar.
  int position = 0;
  int range_min = 0;
  int range_max = 100;
  int step = 10;
  // What the UI engine last heard of this control, once its dialog is shown.
  std::optional<ui::Control> reported;

  // Dialog.
  DLGPROC dialog_proc = nullptr;
  std::vector<HWND> controls;  // in template order
  // The items the program added to its system menu (system_menu.cc); a separator has command 0.
  struct MenuItem {
    UINT command;
    std::u16string text;
  };
  std::vector<MenuItem> system_menu;
  HICON big_icon = nullptr;  // WM_SETICON
  HICON small_icon = nullptr;
  HWND focus = nullptr;
  bool opened = false;  // shown to the user once WM_INITDIALOG returned without ending it
  // A top-level window hears the machine's broadcast messages sent after this cursor (window_broadcasts.cc).
  uint64_t broadcasts_heard = 0;
  bool ended = false;  // EndDialog: hidden, and gone once its current message is handled
  INT_PTR result = 0;

  bool Shown() const { return opened && !ended; }

  // A dialog's frame in screen pixels (window_geometry.cc), and whether it waits for WM_PAINT (painting.cc).
  int width = 0;
  int height = 0;
  bool caption = true;
  bool needs_paint = true;

  // Form (form_windows.cc): its name, its window procedure, and where SetWindowPos put it.
  std::string form_name;
  WNDPROC procedure = nullptr;
  bool topmost = false;
  // A form's or a dialog's top left corner on the screen.
  int left = 0;
  int top = 0;
};

// What a change made under the lock still has to do once it is released: tell the UI engine of controls whose
// state changed, then send the dialog its notifications (WM_COMMAND with a control's ID and code).
struct Notification {
  HWND dialog;
  int id;
  int code;
  HWND control;
};
struct Effects {
  std::vector<HWND> changed;
  std::vector<Notification> notifications;
  void Changed(const Window& control) { changed.push_back(control.handle); }
  void Notify(const Window& control, int code) {
    notifications.push_back({control.parent, control.id, code, control.handle});
  }
};

// window_table.cc: the process's windows. Lookups and changes of the table need the lock.
std::unique_lock<std::mutex> LockWindows();
Window* Lookup(HWND handle);
// Sets ERROR_INVALID_WINDOW_HANDLE when there is no such window.
Window* LookupOrFail(HWND handle);
Window* FindControl(const Window& dialog, int id);
Window& AddWindow(Window window);
void RemoveWindow(HWND handle);
void ForEachTopLevelWindow(const std::function<void(Window&)>& visit);
// Reports the changes, then sends the notifications; called without the lock.
void CarryOut(const Effects& effects);

// text_codec.cc: text at the A and W edges. Windows keep UTF-16; the A calls use the ANSI code page.
std::u16string TextArgument(LPARAM text, bool wide);
std::u16string FromAnsi(std::string_view text);
std::string ToAnsi(std::u16string_view text);
// Copies `text` into a buffer of `capacity` characters (NUL included), cut to fit; returns the characters copied.
size_t CopyText(std::u16string_view text, void* buffer, size_t capacity, bool wide);
size_t TextLength(std::u16string_view text, bool wide);

// control_messages.cc: a control's window procedure (text messages, then its class's own).
const char* WindowClassName(const Window& window);
// Reports a message the window's class does not implement on stderr; returns 0.
LRESULT UnsupportedMessage(const Window& window, UINT message);
LRESULT ControlMessage(Window& control, UINT message, WPARAM wparam, LPARAM lparam, bool wide, Effects& effects);
LRESULT SendWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, bool wide);
// The dialog procedure's answer to `message`, with the dialog manager's default when it left it unhandled.
INT_PTR CallDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
void SendCommand(HWND dialog, int id, int code, HWND control);

// edit_control.cc
LRESULT EditMessage(Window& edit, UINT message, WPARAM wparam, LPARAM lparam, bool wide, Effects& effects);
void SetEditText(Window& edit, std::u16string text, Effects& effects);
// The user types `text` over the contents: the text limit and ES_NUMBER apply, EN_CHANGE and EN_MAXTEXT follow.
void TypeIntoEdit(Window& edit, std::u16string_view text, Effects& effects);

// button_control.cc
LRESULT ButtonMessage(Window& button, UINT message, WPARAM wparam, LPARAM lparam, Effects& effects);
DWORD ButtonKind(const Window& window);
bool IsPushButton(const Window& window);
void SetCheck(Window& button, UINT check, Effects& effects);
// A mouse click: an automatic check box toggles, an automatic radio button takes its group's check, then
// BN_CLICKED.
void ClickButton(Window& button, Effects& effects);

// list_controls.cc: combo and list boxes.
LRESULT ListMessage(Window& list, UINT message, WPARAM wparam, LPARAM lparam, bool wide, Effects& effects);
// The user picks item `index`; the selection-change notification follows.
void SelectItem(Window& list, int index, Effects& effects);

// progress_control.cc
LRESULT ProgressMessage(Window& progress, UINT message, WPARAM wparam, LPARAM lparam, Effects& effects);

// dialog_create.cc: a dialog's windows from its template; nullptr (with the reason on stderr) for a control the
// dialog manager cannot make.
HWND CreateDialogWindows(const res::DialogTemplate& dialog_template, DLGPROC dialog_proc);
void DestroyDialogWindows(HWND dialog);

// The numbers of a resource table's entries, in order.
template <typename Entry>
std::vector<int> IdsOf(std::initializer_list<Entry> entries) {
  std::vector<int> ids;
  for (const Entry& entry : entries) ids.push_back(entry.id);
  return ids;
}

// resource_tables.cc: the table of `instance` (NULL: the program) that declares resource `id` of `type`, or nullptr.
const res::ResourceTable* FindResourceTable(HINSTANCE instance, res::ResourceType type, int id);

// icons.cc: the number of the icon LoadIconA handed out as `icon`; 0 for any other handle.
int IconNumber(HICON icon);

// dialog_resources.cc: the template `id` of `instance` (NULL: the program), or nullptr.
const res::DialogTemplate* FindDialogTemplate(HINSTANCE instance, int id);

// engine_view.cc: the dialog as the UI engine sees it (ViewOf and ControlOf need the lock), and the reports to the
// engine (which take it).
ui::DialogView ViewOf(const Window& dialog);
ui::DialogView CurrentView(HWND dialog);
ui::Control ControlOf(const Window& control);
// The user sees the dialog now: reports it with every control's state.
void ReportOpened(HWND dialog);
// Reports a control whose state differs from what the engine last heard, while its dialog is shown.
void ReportChange(HWND control);
void ReportEnded(HWND dialog, INT_PTR result);

// user_input.cc: carries out what the user did in `dialog`. Through the dialog manager (the modal loop), Enter
// and Esc press the default button and IDCANCEL; from the message pump they do nothing.
void PerformAction(HWND dialog, const ui::Action& action, bool dialog_manager);

// dialog_box.cc: the calling thread's innermost modal dialog, or nullptr.
HWND InnermostDialog();
void HandleSecureAttention(HWND dialog, DWORD sas_type);

// application_windows.cc: the hidden top-level windows of window classes (no dialog, no UI). A message sent to one
// runs its procedure on its own thread; the caller waits for it.
bool IsApplicationWindow(HWND window);
LRESULT SendApplicationMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// window_broadcasts.cc: sends the machine's broadcast messages (WM_DEVICECHANGE) that its top-level windows have
// not yet heard to them, each window in the order they came; called as the process pumps messages, without the lock.
void DeliverBroadcasts();
// The cursor a window made now starts from.
uint64_t CurrentBroadcastCursor();

// window_geometry.cc: the screen's size, and a dialog spread over all of it (SW_SHOWMAXIMIZED).
inline constexpr int kScreenWidth = 1024;
inline constexpr int kScreenHeight = 768;
void Maximize(HWND dialog);
bool IsDialog(HWND window);
// SetWindowPos of a dialog: on top of every window or back among them, moved unless SWP_NOMOVE, sized unless
// SWP_NOSIZE; journaled as "dialog <id> topmost|not topmost at <x>,<y> size <w>x<h>".
BOOL SetDialogPos(HWND dialog, bool topmost, int x, int y, int width, int height, UINT flags);

// painting.cc: sends `dialog` WM_PAINT when it is shown and waits for one; false when it does not. As the
// paint is sent it counts as done, so a procedure that never calls BeginPaint is not sent it again and again.
bool PaintIfPending(HWND dialog);
// The WM_PAINT that PeekMessageA hands out for `window` (NULL: any) when the innermost dialog waits for one;
// with `remove` the paint counts as done.
std::optional<MSG> PendingPaint(HWND window, bool remove);
// What the dialog manager does with a WM_PAINT its procedure left alone: the paint counts as done.
void PaintDone(HWND dialog);

// message_pump.cc: carries out the oldest user action a pump took but left in the queue; false when none waits.
bool DispatchQueuedInput(HWND dialog);

}  // namespace xp::user32
