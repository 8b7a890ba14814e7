// The twins the form-based programs bind by name: each forwards to the operation without the prefix.
#include "tokenio.h"

// Exported by tokenio.
extern "C" int vbGetRegister31(unsigned short* value) { return GetRegister31(value); }
// Exported by tokenio.
extern "C" int vbMassErase(void) { return MassErase(); }
// Exported by tokenio.
extern "C" int vbGetESN(unsigned char* out) { return GetESN(out); }
// Exported by tokenio.
extern "C" int vbBurnESN(const unsigned char* data) { return BurnESN(data); }
// Exported by tokenio.
extern "C" int vbCheckPwd(const char* password) { return CheckPwd(password); }
// Exported by tokenio.
extern "C" int vbBurnPwd(const char* password) { return BurnPwd(password); }
// Exported by tokenio.
extern "C" int vbResetPwd(const char* password) { return ResetPwd(password); }
// Exported by tokenio.
extern "C" int vbSolvePuzzle(short slot, const char* selector, const char* block, char* out) {
  return SolvePuzzle(slot, selector, block, out);
}
// Exported by tokenio.
extern "C" int vbSoftReset(void) { return SoftReset(); }
// Exported by tokenio.
extern "C" int vbReadUserDataPage(int page, int offset, int length, unsigned char* out) {
  return ReadUserDataPage(page, offset, length, out);
}
// Exported by tokenio.
extern "C" int vbWriteUserDataPage(int page, int offset, int length, const unsigned char* data) {
  return WriteUserDataPage(page, offset, length, data);
}
// Exported by tokenio.
extern "C" int vbWritePSS(int slot, const char* pss) { return WritePSS(slot, pss); }
// Exported by tokenio.
extern "C" int vbPSolvePuzzle(int slot, const char* challenge, int pss_slot, const char* hash_input, int hash_length,
                              char* out) {
  return PSolvePuzzle(slot, challenge, pss_slot, hash_input, hash_length, out) ? 1 : 0;
}
// Exported by tokenio.
extern "C" int vbDoAES(char* data, const char* key, int encrypt) { return DoAES(data, key, encrypt); }
// Exported by tokenio.
extern "C" int vbDriverVersion(char* version, char* description) { return DriverVersion(version, description); }
// Exported by tokenio.
extern "C" int vbResetEncryptedPwd(const char* key_hex) { return ResetEncryptedPwd(key_hex); }
// Exported by tokenio.
extern "C" int vbGetChallenge(char* out) { return GetChallenge(out); }
