// hand_over_key PASSWORD: what the logon component does with the file key at a logon, for machines that log on
// through the system's own logon (the install's tests) or by hand. Checks the token's password, derives KN from the install's SN record through the
// token, loads the driver through interface and hands it KN with the EFKN record; from then until the next restart
// the driver decrypts protected files for every program of the machine. Run it inside the machine:
//   xpmachine run DIR build/bin/hand_over_key PASSWORD
// Exit 0 once the driver holds the key; 1, with the reason on stderr, when it does not.
#include <cstdio>

#include "interface.h"
#include "setupcore.h"
#include "tokenio.h"

namespace {

int Fail(const char* why) {
  std::fprintf(stderr, "hand_over_key: %s\n", why);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: hand_over_key PASSWORD (the token's password)");
  if (CheckPwd(argv[1]) != 0) return Fail("the token does not take that password");
  _construct_morvel_sys_files(true);
  unsigned char sn[17] = {};
  char sn_hex[33] = {};
  unsigned char efkn[33] = {};
  char efkn_hex[65] = {};
  if (read_hd_sn(sn, sn_hex) != 1 || read_hd_efkn(efkn, efkn_hex) != 1) {
    return Fail("the install folder holds no key records (is the machine installed?)");
  }
  unsigned char kn[17] = {};
  char response[33] = {};
  if (generate_kn(sn_hex, response, kn) != 1) return Fail("the token did not derive KN");
  if (!MorvelLoadDriver()) return Fail("the driver did not load (is its service installed?)");
  if (!MorvelSetCFK(kn, efkn, 0) || !MorvelStart()) return Fail("the driver refused the key");
  std::printf("the driver holds the file key until the machine restarts\n");
  return 0;
}
