// The key routines that ask the token, shared by the setup library and the logon component: the S1 record on user
// page 2 (S1 at bytes 4-19, its check copy, S1 encrypted under itself, at 20-35), and the token's answer that turns
// a key record into a key (KN from SN, CFK from S1) as the logon component asks for it.
#pragma once

#include <cstdint>

#include "key_format.h"

namespace tavik::keys {

enum class S1Read {
  kValid,       // S1 read, and its check copy matches
  kReadFailed,  // the token did not give the page's bytes
  kNoMatch,     // the check copy does not match (erased, or no S1 was ever written)
};
// s1 gets the 16 bytes read, whatever the outcome after the read.
S1Read ReadS1Record(uint8_t s1[kKeySize]);
// The check copy of S1: AES-128 of S1 under S1.
void S1CheckCopy(const uint8_t s1[kKeySize], uint8_t check[kKeySize]);

enum class TokenAnswer {
  kAnswered,
  kTokenFailed,  // SolvePuzzle failed
  kNotHex,       // the token's text held a character that is not a hex digit ("Data conversion error.")
};
// After a pause of 3 seconds that keeps token derivations apart, the token (key slot 0) answers the lower-case hex
// text of `value` over the fixed puzzle block; the 32 digits become `answer`.
TokenAnswer AnswerAfterPause(const uint8_t value[kKeySize], uint8_t answer[kKeySize]);

}  // namespace tavik::keys
