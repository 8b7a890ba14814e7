// The key records in the install folder, read back whole, and the check that a key rebuilt from the token is the
// one the install's files are encrypted under.
#include <cstring>

#include "diskseal_private.h"
#include "setupcore.h"

namespace tavik::diskseal {

bool ReadSnFile(unsigned char* sn, char* hex) { return read_hd_sn(sn, hex) == 1; }

bool ReadEfknFile(unsigned char* efkn) {
  char hex[65];
  return read_hd_efkn(efkn, hex) == 1;
}

bool KeyMatchesRecords(const unsigned char* xcfk) {
  unsigned char sn[17] = {};
  char sn_hex[33] = {};
  unsigned char efkn[33] = {};
  if (!ReadSnFile(sn, sn_hex) || !ReadEfknFile(efkn)) return false;
  unsigned char kn[17] = {};
  char response[33] = {};
  if (!generate_kn(sn_hex, response, kn)) return false;
  unsigned char expanded_kn[32];
  expand_kn(kn, 16, expanded_kn);
  _dec(efkn, 32, expanded_kn, 32);
  return std::memcmp(efkn, xcfk, 32) == 0;
}

}  // namespace tavik::diskseal
