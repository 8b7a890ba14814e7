// Basic Windows types as 32-bit XP programs see them, for code built on Linux.
// WCHAR is char16_t (Linux's wchar_t is 32 bits); LONG and DWORD stay 32 bits on a 64-bit host.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned char UCHAR;
typedef unsigned short WORD;
typedef unsigned short USHORT;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef int INT;
typedef char CHAR;
typedef char16_t WCHAR;
typedef void VOID;
typedef void* HANDLE;
typedef HANDLE* PHANDLE;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef HANDLE HINSTANCE;
typedef HANDLE HMODULE;
typedef HANDLE HWND;
typedef HANDLE HDC;
typedef HANDLE HGDIOBJ;
typedef HANDLE HBITMAP;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef WCHAR* PWSTR;
typedef BYTE* LPBYTE;
typedef BYTE* PBYTE;
typedef UINT* PUINT;
typedef BOOL* LPBOOL;
typedef DWORD* LPDWORD;
typedef DWORD* PDWORD;
typedef WORD* LPWORD;
typedef LONG* PLONG;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef ULONG_PTR SIZE_T;
typedef LONG_PTR LPARAM;
typedef ULONG_PTR WPARAM;
typedef LONG_PTR LRESULT;
typedef LONG_PTR INT_PTR;
typedef INT_PTR (*FARPROC)();

// Text in the program's ANSI code page: the system is built without UNICODE.
typedef CHAR TCHAR;
typedef LPSTR LPTSTR;
typedef LPCSTR LPCTSTR;

typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef const GUID* LPCGUID;
typedef GUID* LPGUID;

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

// A rectangle in pixels: right and bottom lie just outside it.
typedef struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT, *LPRECT;
typedef const RECT* LPCRECT;

}  // extern "C"

#define TRUE 1
#define FALSE 0
#define WINAPI
#define CALLBACK
#define APIENTRY
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define MAX_PATH 260
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xFFFF))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xFFFF))
#define MAKELONG(low, high) ((LONG)(((DWORD)(WORD)(low)) | (((DWORD)(WORD)(high)) << 16)))
#define MAKEWPARAM(low, high) ((WPARAM)(DWORD)MAKELONG(low, high))
#define MAKELPARAM(low, high) ((LPARAM)(DWORD)MAKELONG(low, high))
