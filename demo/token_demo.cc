// A walk through the token library on a simulated machine: the README's first command runs it.
#include <cstdio>
#include <cstring>
#include <string>

#include "esn_text.h"
#include "tokenio.h"

namespace {

void Step(const char* what, int result) { std::printf("  %-58s -> %d\n", what, result); }

}  // namespace

int main() {
  std::printf("\nThe token, as the system's programs see it:\n");
  Step("Aping (is a token plugged in?)", Aping());

  unsigned char area[128];
  const int read = GetESN(area);
  Step("GetESN (read the identity area)", read);
  std::printf("  serial number (ESN): %s\n", tavik::EsnText(area, sizeof(area)).c_str());

  Step("CheckPwd(\"\") on a factory-new token (0 = no password)", CheckPwd(""));
  Step("BurnPwd(\"Secret1\")", BurnPwd("Secret1"));
  Step("CheckPwd(\"Secret2\") (wrong: failed attempts so far)", CheckPwd("Secret2"));
  Step("CheckPwd(\"Secret3\") (wrong again)", CheckPwd("Secret3"));
  Step("CheckPwd(\"Secret1\") (right: 0, the counter is reset)", CheckPwd("Secret1"));
  Step("IsPwdValidated", IsPwdValidated());

  char challenge[33];
  Step("GetChallenge", GetChallenge(challenge));
  std::printf("  challenge: %s\n", challenge);
  char answer[33] = {};
  Step("SolvePuzzle(slot 0, challenge, challenge)", SolvePuzzle(0, challenge, challenge, answer));
  std::printf("  answer:    %s\n", answer);
  char again[33] = {};
  SolvePuzzle(0, challenge, challenge, again);
  std::printf("  asked again, the token gives the same answer: %s\n", std::strcmp(answer, again) == 0 ? "yes" : "no");

  const char note[] = "kept on the token, page 6";
  Step("WriteUserDataPage(6, 0, ...)",
       WriteUserDataPage(6, 0, sizeof(note), reinterpret_cast<const unsigned char*>(note)));
  unsigned char back[sizeof(note)] = {};
  Step("ReadUserDataPage(6, 0, ...)", ReadUserDataPage(6, 0, sizeof(back), back));
  std::printf("  read back: \"%s\"\n", reinterpret_cast<const char*>(back));
  Step("CheckPwd(\"nope\") (one more wrong attempt)", CheckPwd("nope"));
  Step("Logout", Logout());
  Step("IsPwdValidated after Logout", IsPwdValidated());
  std::printf("\n");
  return 0;
}
