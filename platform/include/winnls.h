// National language support: the machine's locale and ANSI code page (machine.ini "locale" and "ansi_code_page").
#pragma once

#include "windef.h"

typedef DWORD LCID;

#define LOCALE_SENGLANGUAGE 0x00001001

#ifdef __cplusplus
extern "C" {
#endif

// The ANSI code page of the A calls: 1252 unless the machine says otherwise (936 for a Chinese machine).
UINT GetACP(void);
// The machine's locale, as its user sees it (0x0409 English, 0x0804 Chinese, ...).
LCID GetUserDefaultLCID(void);
// Only LOCALE_SENGLANGUAGE is implemented: the language's English name ("English", "Chinese", ...). Returns the
// characters written, NUL included; with a size of 0 the size needed; 0 with ERROR_INSUFFICIENT_BUFFER when it does
// not fit, ERROR_INVALID_PARAMETER for a locale it does not know.
int GetLocaleInfoA(LCID locale, DWORD type, LPSTR data, int size);

#ifdef __cplusplus
}
#endif
