// CFK and KN: the token's answer to the hex text of S1 or SN over the fixed puzzle block. Each answer is followed
// by a three-second pause, answered or not, which keeps consecutive token derivations apart.
#include <cstring>

#include "hex.h"
#include "key_format.h"
#include "setupcore_private.h"
#include "tokenio.h"

namespace tavik::setupcore {
namespace {

constexpr size_t kAnswerDigits = 32;
constexpr DWORD kPauseAfterAnswerMs = 3000;

// The token's 32 lower-case digits, or false.
bool AskToken(const char* selector, char answer[kAnswerDigits + 1]) {
  std::memset(answer, 0, kAnswerDigits + 1);
  const int answered = SolvePuzzle(0, selector, keys::kPuzzleBlock, answer);
  Sleep(kPauseAfterAnswerMs);
  return answered == 1;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

// The answer's text as the caller gets it (each pair's first digit upper-cased, or all of them), and its bytes.
void Deliver(const char answer[kAnswerDigits + 1], bool all_upper, char* response, unsigned char* key) {
  for (size_t i = 0; i < kAnswerDigits; ++i) {
    response[i] = (all_upper || i % 2 == 0) ? Upper(answer[i]) : answer[i];
  }
  response[kAnswerDigits] = '\0';
  hex::DecodeLenient(response, key, kAnswerDigits / 2);
  key[kAnswerDigits / 2] = 0;
}

}  // namespace
}  // namespace tavik::setupcore

// Exported by setupcore.
int generate_cfk(const char* hexS1, unsigned char* cfk, char* response) {
  char answer[33];
  if (!tavik::setupcore::AskToken(hexS1, answer)) return 0;
  tavik::setupcore::Deliver(answer, /*all_upper=*/false, response, cfk);
  return 1;
}

// Exported by setupcore.
int generate_kn(const char* hexSN, char* response, unsigned char* kn) {
  char answer[33];
  if (!tavik::setupcore::AskToken(hexSN, answer)) return 0;
  tavik::setupcore::Deliver(answer, /*all_upper=*/true, response, kn);
  return 1;
}
