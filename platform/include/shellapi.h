// The shell calls the system uses: deleting a folder tree (or files) permanently, without asking, and finding and
// starting the program associated with a kind of file (the browser for ".htm").
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

// Results of FindExecutableA and ShellExecuteA at or below 32 are errors.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31

// The program the machine associates with the existing file's extension ("open" verb of HKCU, then HKLM
// SOFTWARE\Classes), without arguments, into `result` (MAX_PATH bytes); a program file is its own. Above 32 on
// success; SE_ERR_FNF or SE_ERR_PNF when the file is missing, SE_ERR_NOASSOC when nothing is associated (result "").
HINSTANCE FindExecutableA(LPCSTR file, LPCSTR directory, LPSTR result);
// Starts the program `file` (a .exe) with `parameters` appended to its quoted path as its command line, without
// waiting. Above 32 once it started; SE_ERR_FNF, SE_ERR_PNF or SE_ERR_ACCESSDENIED when it cannot.
HINSTANCE ShellExecuteA(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT show_command);

}  // extern "C"
