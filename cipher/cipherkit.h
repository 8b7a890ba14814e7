// The key cipher library's exports: AES-128, -192 or -256 under a key given as 32, 48 or 64 hex digits, in the
// library's chained format: n data bytes give n + 16 cipher bytes, the first block being the encrypted IV. The
// form-based programs bind these by name. Strings are automation strings holding ANSI bytes (their length is the
// byte length); a returned string belongs to the caller, who frees it with SysFreeString. keyHex is NUL-terminated.
#pragma once

#include "oleauto.h"
#include "windows.h"

extern "C" {

// The byte functions' results, also returned by vbaenckey and vbadeckey for a refused key:
//   0 done; -1 a length outside the limits below; -2 a key character that is not a hex digit (which also prints
//   "key must be in hexadecimal notation\n"); -3 a key text longer than 64 characters; -4 fewer than 32 digits or
//   a count that is not a multiple of 16; -5 the system gave no random bytes for the IV.
// On any code but 0 nothing is written to out.

// *len bytes of data (0 .. INT_MAX - 16) into out, which must hold *len + 16 bytes; *len becomes *len + 16.
// Prints "enc len: <n + 16>\n".
int enckey(const unsigned char* data, unsigned char* out, const char* keyHex, int* len);
// len cipher bytes (at least 16) into len - 16 plain bytes. Nothing is verified: a wrong key gives wrong bytes.
int deckey(const unsigned char* cipher, unsigned char* out, const char* keyHex, int len);

// The strings' limits: 0..127 data bytes, 17..143 cipher bytes. Outside them, or for a refused key, the string
// functions return NULL (which the programs read as an empty string).
// The encryption of the data string as 2(n + 16) upper-case hex digits.
BSTR WINAPI vbenckeyhex(BSTR data, LPCSTR keyHex);
// The decryption of the bytes that the first 2m characters give, two characters a byte (m = half the string's
// length, rounded down). A character that is not a hex digit still counts but adds no digit, so its byte is made of
// the last two digits read; a NUL ends the text, and zero bytes follow.
BSTR WINAPI vbdeckeyhex(BSTR hex, LPCSTR keyHex);
// The n + 16 cipher bytes of the data string, and back.
BSTR WINAPI vbenckey(BSTR data, LPCSTR keyHex);
BSTR WINAPI vbdeckey(BSTR cipher, LPCSTR keyHex);
// As vbenckey and vbdeckey, but the result replaces *result, byte for byte. vbaenckey returns -1 for data over 127
// bytes, vbadeckey 1 for cipher bytes outside 17..143; both return the key's code for a refused key, and 0 when
// done. *result is untouched unless they return 0.
int WINAPI vbaenckey(BSTR data, LPCSTR keyHex, BSTR* result);
int WINAPI vbadeckey(BSTR cipher, LPCSTR keyHex, BSTR* result);
// Shows *text in a message box captioned "test", then replaces *text by "Good"; returns 0.
int WINAPI encdecnew(BSTR* text);

}  // extern "C"
