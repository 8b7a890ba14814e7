// The S1 record and the token's answer (token_keys.h), over tokenio's page and challenge calls.
#include "token_keys.h"

#include <cstring>

#include "aes.h"
#include "hex.h"
#include "tokenio.h"
#include "windows.h"

namespace tavik::keys {
namespace {

constexpr int kS1Page = 2;
constexpr int kS1Offset = 4;
constexpr int kCheckOffset = 20;
constexpr DWORD kPauseBeforeAnswerMs = 3000;
constexpr size_t kDigits = 2 * kKeySize;

}  // namespace

void S1CheckCopy(const uint8_t s1[kKeySize], uint8_t check[kKeySize]) {
  cipher::AesKey key;
  cipher::ExpandKey(s1, &key);
  cipher::EncryptBlock(key, s1, check);
  std::memset(&key, 0, sizeof key);
}

S1Read ReadS1Record(uint8_t s1[kKeySize]) {
  if (ReadUserDataPage(kS1Page, kS1Offset, kKeySize, s1) != 1) return S1Read::kReadFailed;
  uint8_t stored[kKeySize];
  if (ReadUserDataPage(kS1Page, kCheckOffset, kKeySize, stored) != 1) return S1Read::kReadFailed;
  uint8_t expected[kKeySize];
  S1CheckCopy(s1, expected);
  return std::memcmp(stored, expected, kKeySize) == 0 ? S1Read::kValid : S1Read::kNoMatch;
}

TokenAnswer AnswerAfterPause(const uint8_t value[kKeySize], uint8_t answer[kKeySize]) {
  Sleep(kPauseBeforeAnswerMs);
  char selector[kDigits + 1] = {};
  hex::Encode(value, kKeySize, selector, /*upper=*/false);
  char text[kDigits + 1] = {};
  if (SolvePuzzle(0, selector, kPuzzleBlock, text) != 1) return TokenAnswer::kTokenFailed;
  return hex::DecodeStrict(std::string_view(text, kDigits), answer, kKeySize) ? TokenAnswer::kAnswered
                                                                               : TokenAnswer::kNotHex;
}

}  // namespace tavik::keys
