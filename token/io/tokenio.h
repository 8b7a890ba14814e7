// The token library's exports: the only way the system reaches the USB token. Every call opens the token,
// works and closes it again. Results: 1 success, 0 failure, except where a comment says otherwise.
#pragma once

#include "windows.h"

extern "C" {

int Aping(void);
int StatusOk(void);
int GetRegister31(unsigned short* value);
int IsPwdValidated(void);
HANDLE OpenUsbDevice(const GUID* interface_class);  // a device handle, or INVALID_HANDLE_VALUE
int SoftReset(void);
int CheckPwd(const char* password);  // 0 accepted, n = failed attempts so far, -1 failure
int BurnPwd(const char* password);
int ResetPwd(const char* password);
int ClearPassword(void);
int ResetEncryptedPwd(const char* key_hex);
int MassErase(void);
int Logout(void);
int GetESN(unsigned char* out);  // 128 bytes of the identity area, no terminator added
int BurnESN(const unsigned char* data);
int GetChallenge(char* out);  // 32 upper-case hex digits and a NUL
int ReadUserDataPage(int page, int offset, int length, unsigned char* out);
int WriteUserDataPage(int page, int offset, int length, const unsigned char* data);
int ReadUserFlash(unsigned address, unsigned length, unsigned char* out);
int WriteUserFlash(unsigned address, unsigned length, const unsigned char* data);
int BurnAESkeyAll(const unsigned char* keys);
int BurnIdPadMap(const unsigned char* map);
int SolvePuzzle(int slot, const char* selector, const char* block, char* out);  // out: 32 lower-case digits
int SolvePuzzleHex(unsigned short a, unsigned short b, unsigned short c, unsigned short d, unsigned char* out,
                   unsigned out_length);
int PSolvePuzzle(int slot, const char* challenge, int pss_slot, const char* hash_input, int hash_length,
                 char* out);
int WritePSS(int slot, const char* pss);  // the slot used, 0 on failure or when the store is full
int DoAES(char* data, const char* key, int encrypt);
int DriverVersion(char* version, char* description);

// Twins for the form-based programs, which bind them by name with string buffers.
int vbGetRegister31(unsigned short* value);
int vbMassErase(void);
int vbGetESN(unsigned char* out);
int vbBurnESN(const unsigned char* data);
int vbCheckPwd(const char* password);
int vbBurnPwd(const char* password);
int vbResetPwd(const char* password);
int vbSolvePuzzle(short slot, const char* selector, const char* block, char* out);
int vbSoftReset(void);
int vbReadUserDataPage(int page, int offset, int length, unsigned char* out);
int vbWriteUserDataPage(int page, int offset, int length, const unsigned char* data);
int vbWritePSS(int slot, const char* pss);
int vbPSolvePuzzle(int slot, const char* challenge, int pss_slot, const char* hash_input, int hash_length,
                   char* out);
int vbDoAES(char* data, const char* key, int encrypt);
int vbDriverVersion(char* version, char* description);
int vbResetEncryptedPwd(const char* key_hex);
int vbGetChallenge(char* out);

}  // extern "C"
