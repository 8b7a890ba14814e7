// The window hook of window_hook.h: every WM_DEVICECHANGE, whatever its wParam, refreshes the ESN line; every message
// then goes on to the procedure the hook replaced.
#include "window_hook.h"

#include "frm_register.h"
#include "program_state.h"

void HookDeviceChange() {
  SavedWindowProcedure = reinterpret_cast<WNDPROC>(GetWindowLongA(FormWindow, GWL_WNDPROC));
  SetWindowLongA(FormWindow, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&DeviceChangeWndProc));
}

void UnhookDeviceChange() {
  SetWindowLongA(FormWindow, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(SavedWindowProcedure));
}

LRESULT CALLBACK DeviceChangeWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DEVICECHANGE) The<frmRegister>().RefreshESN(wParam);
  return CallWindowProcA(SavedWindowProcedure, hWnd, message, wParam, lParam);
}
