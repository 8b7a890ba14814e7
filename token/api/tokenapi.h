// The token API: PIN checks, the token's name, user data kept across token pages, challenge answers and the
// challenge and response records. Results: 0 success, 1 failure, unless a comment says otherwise. Lengths
// passed through int* carry a buffer's capacity in and the length written out.
#pragma once

#include "puzzle_object.h"
#include "response_object.h"

extern "C" {

int NuboPing(void);                      // 1 when a token answers, 0 when none
int NuboCheckPin(char* pin, int len);    // 0 accepted, 1 wrong (1-3 failures), 2 wrong (more), -1 error
int NuboIsPinChecked(void);              // 1 when the token holds an accepted password
int NuboSetPin(char* pin, int len);      // pins of 0 to 63 characters
int NuboResetPin(char* pin, int len);
int NuboSetUserName(char* name, int len);  // rewrites the whole identity area: a provisioning step
int NuboGetUserName(char* out, int* len);  // the identity text, at most 63 characters and a NUL
int NuboGetResponse(int slot, char* challenge, char* unused, char* out);  // out: 32 hex digits, no NUL
int NuboGetPrivateResponse(unsigned slot, char* challenge, char* hash_input, unsigned hash_length, char* out,
                           short pss_slot);
// format 1: XML response, 2: delimited response. A puzzle with neither a PSS nor a PSS slot gets no answer:
// 0 with *out_length = 0.
int NuboGetPrivateResponseX(char* puzzle, int length, char* out, int* out_length, int format);
int NuboGetPrivateResponseOnePassX(char* puzzle, int length, char* out, int* out_length, int format);
// kind 4: XML puzzle, 5: 18-byte puzzle; the response in its 18-byte form.
int NuboGetPrivateResponseBinary(char* puzzle, int length, int kind, char* out, int* out_length);
int NuboLogout(void);
// *len 0 asks for the data's length; data of at most 2560 bytes from byte 0 of firstPage on.
int NuboReadUserData(unsigned char* out, int* len, int firstPage);
int NuboWriteUserData(unsigned char* data, int len, int firstPage);
// 0, 1, or the Windows error code when the computer name cannot be read.
int NuboGetUsrCredentials(char* user, int* user_length, char* response, int* response_length, unsigned slot);
int NuboGetPUsrCredentials(char* user, int* user_length, char* response, int* response_length, unsigned unused);
int NuboGetOneTimePwd(char* out, int* len);
int NuboGetUSBProtectedArea1(unsigned char* out, int* len, int unused);  // always 1
int NuboGetUSBProtectedArea2(unsigned char* out, int* len, int unused);  // always 1
int fntokenapi(void);                    // 42
extern int ntokenapi;                    // 0

}  // extern "C"
