// The tokenio calls of token_answer.h.
#include "token_answer.h"

#include <cctype>

extern "C" int GetESN(unsigned char* out);
extern "C" int SolvePuzzle(int slot, const char* selector, const char* block, char* out);

namespace xp::websvc::testing {

std::string TokenEsn() {
  unsigned char identity[128] = {};
  if (GetESN(identity) != 1) return "";
  return std::string(reinterpret_cast<const char*>(identity), 8);
}

std::string TokenSolve(int slot, const std::string& selector, const std::string& block) {
  char out[33] = {};
  if (SolvePuzzle(slot, selector.c_str(), block.c_str(), out) != 1) return "";
  std::string answer(out, 32);
  for (char& c : answer) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return answer;
}

}  // namespace xp::websvc::testing
