// The token module of the form-based programs: one wrapper for each token operation they use, over the token
// library's vb twins, bound by name at the first call. Every wrapper traps a failed binding: it shows why (the
// library file is not there, or another failure of the call) and returns its failure value, so a missing or broken
// library never ends a program.
#pragma once

#include <string>

#include "windows.h"

namespace NuboDriver {

// The waits that the two programs take before the token work (milliseconds), on top of the token library's own.
struct Waits {
  DWORD before_password_check = 1000;
  DWORD before_esn_read = 0;
  DWORD before_answer = 0;
};
// The password program's waits are the default; the registration program sets its own at start.
void SetWaits(const Waits& waits);

// The first 8 characters of the ESN, as the last successful BurnTokenPassword read them.
extern std::u16string KeyId;

// True when the token answers a status read.
bool IsTokenPresent();
// esn := the token's identity text as 128 characters ("" when the token gives none). 1 when the call was made,
// whatever it returned; 0 when it could not be made (esn then holds 128 NULs).
int ReadTokenEsn(std::u16string& esn);
// The registration program's form: the 128 characters, or "" when the token gave none or the call could not be made.
std::u16string ReadTokenEsn();
// The first 8 characters of ReadTokenEsn().
std::u16string GetTokenEsn();
// 0: the password is the token's (the empty text: the token has none yet); 1 and more: wrong, the token's count
// of failed attempts (never less than 1); 251: the device or its lock failed, or the call could not be made.
int CheckTokenPassword(const std::u16string& password);
// 1: assigned; 0: not (the token has a password, did not answer, or the write failed); 2: no ESN could be read.
int BurnTokenPassword(const std::u16string& password);
// True when the token's password is the empty password again.
bool ResetTokenPassword();
// The token's answer to `puzzle` with key slot `kid` (corrected in place: "" becomes "0"; a kid that is no decimal
// number, or lies outside 0..15, becomes "1"), as 32 upper-case hex digits; "Invalid Inputs" when puzzle or block
// is not 32 characters (the token is not asked), "Error" when the token gives no answer.
std::u16string SolvePuzzle(std::u16string& kid, const std::u16string& puzzle, const std::u16string& block);

}  // namespace NuboDriver
