// Automation strings (BSTR) and the VARIANT that carries one, as the system's callers use them.
// A BSTR points at UTF-16 text preceded by its length in bytes (4 bytes) and followed by a NUL unit. A string made
// by the byte calls holds bytes instead (ANSI text or binary data), and its byte length may be odd.
#pragma once

#include "objbase.h"

extern "C" {

typedef WCHAR OLECHAR;
typedef OLECHAR* BSTR;
typedef const OLECHAR* LPCOLESTR;
typedef unsigned short VARTYPE;
typedef short VARIANT_BOOL;

enum VARENUM { VT_EMPTY = 0, VT_BSTR = 8 };

typedef struct tagVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  BSTR bstrVal;  // the only value type this layer carries
} VARIANT;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008L)

// NULL for a NULL string or when memory runs out.
BSTR SysAllocString(const OLECHAR* text);
// `length` units of `text` (uninitialised when text is NULL) and a NUL unit.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
// Length in units (the byte length halved, rounded down); 0 for NULL.
UINT SysStringLen(BSTR text);
// `length` bytes of `bytes` (uninitialised when bytes is NULL) and a NUL unit; NULL when memory runs out.
BSTR SysAllocStringByteLen(LPCSTR bytes, UINT length);
// Length in bytes; 0 for NULL.
UINT SysStringByteLen(BSTR text);

void VariantInit(VARIANT* variant);
// Frees what the variant holds and leaves it VT_EMPTY; DISP_E_BADVARTYPE for a type this layer does not carry.
HRESULT VariantClear(VARIANT* variant);

}  // extern "C"
