// User32 as the system calls it: message boxes, modal dialogs and their controls, the message pump, and restart.
#pragma once

#include "windef.h"

extern "C" {

// Message-box buttons: the system shows only these two sets.
#define MB_OK 0x00000000u
#define MB_YESNO 0x00000004u
// Icons.
#define MB_ICONERROR 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION 0x00000040u
// The second button is the default (Enter presses it).
#define MB_DEFBUTTON2 0x00000100u

// Dialog command IDs: what a box returns, and the IDs of a dialog's standard buttons.
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Shows a modal box and returns the ID of the button pressed; a NULL caption reads "Error". Styles other than
// MB_OK or MB_YESNO with one icon and MB_DEFBUTTON2 are not implemented: 0 and ERROR_CALL_NOT_IMPLEMENTED.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- Windows and dialogs. A program's dialogs come from its resource table (winres.h); each modal loop asks the
// machine's UI driver what the user does next, and what is shown goes to the machine's journal.

typedef INT_PTR (*DLGPROC)(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

typedef struct tagPOINT {
  LONG x;
  LONG y;
} POINT, *LPPOINT;

typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG, *LPMSG;

#define MAKEINTRESOURCEA(i) ((LPSTR)(ULONG_PTR)((WORD)(i)))
#define MAKEINTRESOURCEW(i) ((LPWSTR)(ULONG_PTR)((WORD)(i)))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

// A dialog's frame, as its template gives it: a popup with a caption and the system menu box, or a bare popup.
#define WS_POPUP 0x80000000u
#define WS_CAPTION 0x00C00000u
#define WS_SYSMENU 0x00080000u

// Window styles a dialog template gives its controls.
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_BORDER 0x00800000u
#define WS_VSCROLL 0x00200000u
#define WS_HSCROLL 0x00100000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u

// Edit styles. ES_NUMBER refuses typed characters other than digits; ES_PASSWORD shows '*' for each character.
#define ES_LEFT 0x0000u
#define ES_MULTILINE 0x0004u
#define ES_PASSWORD 0x0020u
#define ES_AUTOVSCROLL 0x0040u
#define ES_AUTOHSCROLL 0x0080u
#define ES_READONLY 0x0800u
#define ES_NUMBER 0x2000u

// Button styles: the low four bits are the kind. BS_AUTO* change their own state when clicked.
#define BS_PUSHBUTTON 0x0u
#define BS_DEFPUSHBUTTON 0x1u
#define BS_CHECKBOX 0x2u
#define BS_AUTOCHECKBOX 0x3u
#define BS_RADIOBUTTON 0x4u
#define BS_GROUPBOX 0x7u
#define BS_AUTORADIOBUTTON 0x9u
#define BS_TYPEMASK 0xFu

// Static styles: the low five bits are the kind.
#define SS_LEFT 0x00u
#define SS_ICON 0x03u
#define SS_BITMAP 0x0Eu
#define SS_TYPEMASK 0x1Fu

// Combo and list boxes: a drop-down list only (no typed text), kept in the order the program adds items.
#define CBS_DROPDOWNLIST 0x0003u
#define LBS_NOTIFY 0x0001u

// Messages.
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_CLOSE 0x0010
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
// Sent to every top-level window of the machine when its devices change; wParam is a DBT_ event (dbt.h).
#define WM_DEVICECHANGE 0x0219
#define WM_USER 0x0400

#define BN_CLICKED 0
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001

// Edit messages and notifications. The text limit binds what the user types (default 32,767 characters), never
// what the program puts in; EN_MAXTEXT reports typing cut at the limit.
#define EN_CHANGE 0x0300
#define EN_MAXTEXT 0x0501
#define EM_SETSEL 0x00B1
#define EM_SCROLLCARET 0x00B7
#define EM_REPLACESEL 0x00C2
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_SETPASSWORDCHAR 0x00CC
#define EM_SETREADONLY 0x00CF
#define EM_GETPASSWORDCHAR 0x00D2

#define CB_ERR (-1)
#define CBN_SELCHANGE 1
#define CB_ADDSTRING 0x0143
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_RESETCONTENT 0x014B
#define CB_SETCURSEL 0x014E

#define LB_ERR (-1)
#define LBN_SELCHANGE 1
#define LB_ADDSTRING 0x0180
#define LB_RESETCONTENT 0x0184
#define LB_SETCURSEL 0x0186
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMAXIMIZED 3
#define SW_SHOW 5

// A window's procedure: the form runtime's windows have one, which a program may replace (SetWindowLongA) and call on
// (CallWindowProcA).
typedef LRESULT (*WNDPROC)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
#define GWL_WNDPROC (-4)

// SetWindowPos: the place in the z-order, and the flags that keep the size or the position.
#define HWND_TOPMOST ((HWND)(LONG_PTR)-1)
#define HWND_NOTOPMOST ((HWND)(LONG_PTR)-2)
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u

// PeekMessageA.
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u

// Resources of `instance` (NULL: the program) as its resource table (winres.h) declares them. LoadStringA copies
// string `id`, cut to buffer_max - 1 characters and NUL-terminated, and returns the characters copied; 0 with
// ERROR_RESOURCE_NAME_NOT_FOUND for a string that is missing or empty. LoadIconA takes MAKEINTRESOURCE of an icon
// the module declared (no system icons); a dialog's icons are set with WM_SETICON (wParam ICON_BIG or ICON_SMALL,
// lParam the icon; the previous one is returned) and journaled as "dialog <id> icon big|small <number>".
typedef HANDLE HICON;
#define WM_SETICON 0x0080
#define ICON_SMALL 0
#define ICON_BIG 1
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int buffer_max);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);

// A modal dialog from template `template_name` (MAKEINTRESOURCE of its number) of `instance` (NULL: the program),
// until EndDialog: the EndDialog value, or -1 (ERROR_RESOURCE_NAME_NOT_FOUND for an unknown template).
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR template_name, HWND owner, DLGPROC dialog_proc, LPARAM param);
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR template_name, HWND owner, DLGPROC dialog_proc, LPARAM param);
// Marks the dialog for ending with `result` once its current message is handled; FALSE for a window that is no
// modal dialog (ERROR_INVALID_WINDOW_HANDLE).
BOOL EndDialog(HWND dialog, INT_PTR result);

// Controls by ID: NULL and ERROR_CONTROL_ID_NOT_FOUND when the dialog has none.
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
// Copies at most max_count - 1 characters and a NUL; returns the characters copied.
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int max_count);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int max_count);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and unchecks the other radio buttons whose IDs lie in first..last.
BOOL CheckRadioButton(HWND dialog, int first_id, int last_id, int check_id);

// Any window: a dialog (its caption) or a control. A stale handle fails with ERROR_INVALID_WINDOW_HANDLE.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
BOOL SetWindowTextA(HWND window, LPCSTR text);
BOOL SetWindowTextW(HWND window, LPCWSTR text);
int GetWindowTextA(HWND window, LPSTR text, int max_count);
int GetWindowTextW(HWND window, LPWSTR text, int max_count);
int GetWindowTextLengthA(HWND window);
int GetWindowTextLengthW(HWND window);
// "Button", "Edit", "Static", "ComboBox", "ListBox", "msctls_progress32", or "#32770" for a dialog.
int GetClassNameA(HWND window, LPSTR class_name, int max_count);
// Both return the earlier state: nonzero when the window was disabled (EnableWindow), was visible (ShowWindow).
BOOL EnableWindow(HWND window, BOOL enable);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowEnabled(HWND window);
BOOL IsWindowVisible(HWND window);
BOOL IsWindow(HWND window);
// The keyboard focus of the calling thread's dialogs; SetFocus returns the control that had it.
HWND SetFocus(HWND window);
HWND GetFocus(void);

// Top-level windows of forms, and dialogs. SetWindowPos puts one on top of every window (HWND_TOPMOST) or back
// among the others (HWND_NOTOPMOST) and moves it to x, y unless SWP_NOMOVE; a form's size stays (only SWP_NOSIZE
// is implemented), a dialog takes cx, cy unless SWP_NOSIZE (its move journaled as "dialog <id> topmost at <x>,<y>
// size <w>x<h>").
// GetWindowLongA and SetWindowLongA know GWL_WNDPROC alone (wide enough here for a procedure's address; LONG on a
// 32-bit XP), and SetWindowLongA returns the procedure it replaced; 0 with ERROR_INVALID_INDEX for another index.
BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int cx, int cy, UINT flags);
LONG_PTR GetWindowLongA(HWND window, int index);
LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR new_long);
// Calls `procedure` on the message, as the window's own procedure would be called.
LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The message pump of a long operation inside a dialog handler: PeekMessageA hands out what the user did in the
// innermost dialog meanwhile (the UI driver's pump steps), DispatchMessageA carries it out. Without
// IsDialogMessage, Enter and Esc do nothing here.
BOOL PeekMessageA(LPMSG msg, HWND window, UINT filter_min, UINT filter_max, UINT remove);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);

// ---- Application windows: window classes, hidden top-level windows and each thread's message queue. A window
// belongs to the thread that made it; GetMessageW waits on that thread's queue and carries out messages sent to
// its windows from other threads (SendMessageW) while it waits.
typedef WORD ATOM;
typedef HANDLE HCURSOR;
typedef HANDLE HBRUSH;
typedef HANDLE HMENU;
typedef LRESULT (*WNDPROC)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

typedef struct tagWNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
} WNDCLASSW;

#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define WS_OVERLAPPED 0x00000000u
#define WS_OVERLAPPEDWINDOW 0x00CF0000u
#define CW_USEDEFAULT ((int)0x80000000)

#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_QUIT 0x0012
// Power events, sent to every top-level window: wParam PBT_APMSUSPEND as the machine suspends,
// PBT_APMRESUMESUSPEND as it resumes.
#define WM_POWERBROADCAST 0x0218
#define PBT_APMSUSPEND 0x0004
#define PBT_APMRESUMESUSPEND 0x0007

// 0 with ERROR_CLASS_ALREADY_EXISTS for a name registered already.
ATOM RegisterClassW(const WNDCLASSW* window_class);
// FALSE with ERROR_CLASS_HAS_WINDOWS while a window of the class exists, ERROR_CLASS_DOES_NOT_EXIST for no class.
BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE instance);
// A top-level window only (no parent, no menu); it is never shown, whatever `style` says. WM_CREATE is sent to it.
HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY; only the window's own thread may destroy it.
BOOL DestroyWindow(HWND window);
// WM_CLOSE destroys the window; every other message gives 0.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Waits for the next posted message: FALSE for WM_QUIT, -1 for bad arguments. No filters.
BOOL GetMessageW(LPMSG msg, HWND window, UINT filter_min, UINT filter_max);
LRESULT DispatchMessageW(const MSG* msg);
BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
BOOL PostThreadMessageW(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam);
void PostQuitMessage(int exit_code);

// A dialog's system menu. A program adds its own items (AppendMenuA, or InsertMenuA by position or command); the
// user choosing one sends the dialog WM_SYSCOMMAND with the item's command. GetSystemMenu(dialog, TRUE) forgets the
// added items and returns NULL. Only MF_STRING and MF_SEPARATOR items are implemented.
#define WM_SYSCOMMAND 0x0112
#define MF_STRING 0x0000u
#define MF_BYCOMMAND 0x0000u
#define MF_BYPOSITION 0x0400u
#define MF_SEPARATOR 0x0800u
HMENU GetSystemMenu(HWND window, BOOL revert);
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);
BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text);

// The screen (1024 by 768), a dialog's frame (a caption 19 pixels high over a fixed frame 3 pixels wide on every
// side) and how the machine started: SM_CLEANBOOT 0 normal, 1 safe mode, 2 safe mode with networking. Other
// indexes give 0.
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CYCAPTION 4
#define SM_CXFIXEDFRAME 7
#define SM_CYFIXEDFRAME 8
#define SM_CLEANBOOT 67
int GetSystemMetrics(int index);

// A dialog's place on the screen. It opens at 0,0 with its template's size; GetWindowRect gives its frame in screen
// pixels, GetClientRect the inside of the frame from 0,0. MoveWindow moves and sizes it (journaled as "dialog <id>
// at <x>,<y> size <w>x<h>") and, with `repaint`, has it painted again; SW_SHOWMAXIMIZED spreads it over the screen.
// Controls have no place of their own here: ERROR_CALL_NOT_IMPLEMENTED.
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL GetClientRect(HWND window, LPRECT rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);

// Painting. A dialog is sent WM_PAINT once it is shown and again after InvalidateRect (the whole dialog, whatever
// `rect` says) or a repainting move: in its modal loop before the user's next action, from PeekMessageA when no
// input waits (the message handed out counts as painted), or at once from UpdateWindow. BeginPaint gives a context
// of the whole client area for gdi32 (wingdi.h) and takes the paint as done; EndPaint gives the context back. A
// dialog procedure that leaves WM_PAINT unhandled has it taken as done.
#define WM_PAINT 0x000F
typedef struct tagPAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND window);
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// A bitmap the module's resources declare (winres.h), MAKEINTRESOURCE of its number, as a gdi32 object the caller
// deletes (DeleteObject); NULL with ERROR_RESOURCE_NAME_NOT_FOUND for one it does not declare.
HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name);

// Restarting the machine. The caller's token must have SeShutdownPrivilege enabled (else FALSE,
// ERROR_PRIVILEGE_NOT_HELD); the request is recorded for the boot code and the calling process goes on running.
// Only EWX_REBOOT, with EWX_FORCE or EWX_FORCEIFHUNG, is implemented.
#define EWX_REBOOT 0x00000002u
#define EWX_FORCE 0x00000004u
#define EWX_FORCEIFHUNG 0x00000010u
BOOL ExitWindowsEx(UINT flags, DWORD reason);

}  // extern "C"
