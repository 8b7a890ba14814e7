// frmRegister's window subclassed, so that a change of the machine's devices reads the ESN again.
#pragma once

#include "windows.h"

void HookDeviceChange();
void UnhookDeviceChange();
LRESULT CALLBACK DeviceChangeWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
