// MRVVerifyCFK.exe, the outside verification program that the install adds to Winlogon's "Userinit" value: at
// every logon it runs as the logged-on user. What it verifies lies outside the system; the stand-in records that it
// ran, and as whom, and ends with success.
#include "xp/accounts.h"
#include "xp/machine.h"

int main() {
  xp::machine::Journal("MRVVerifyCFK ran as " + xp::machine::CurrentAccountName());
  return 0;
}
