// The shell's file operation the system uses: deleting a folder tree (or files) permanently, without asking.
#pragma once

#include "windef.h"

extern "C" {

#define FO_MOVE 0x0001
#define FO_COPY 0x0002
#define FO_DELETE 0x0003
#define FO_RENAME 0x0004

#define FOF_SILENT 0x0004
#define FOF_NOCONFIRMATION 0x0010
#define FOF_ALLOWUNDO 0x0040

typedef WORD FILEOP_FLAGS;

typedef struct _SHFILEOPSTRUCTA {
  HWND hwnd;
  UINT wFunc;
  LPCSTR pFrom;  // one or more paths, each ending in NUL, the list ending in a second NUL
  LPCSTR pTo;
  FILEOP_FLAGS fFlags;
  BOOL fAnyOperationsAborted;
  LPVOID hNameMappings;
  LPCSTR lpszProgressTitle;
} SHFILEOPSTRUCTA, *LPSHFILEOPSTRUCTA;

// FO_DELETE with FOF_SILENT | FOF_NOCONFIRMATION: 0 when every path and everything beneath it is gone, else the
// Win32 error of the step that failed (what was deleted before it stays deleted).
int SHFileOperationA(LPSHFILEOPSTRUCTA file_operation);

}  // extern "C"
