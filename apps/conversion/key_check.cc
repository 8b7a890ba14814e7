// The key records in the install folder, read back whole, and the checks that a key rebuilt from the token is the
// one the install's files are encrypted under.
#include <cstring>

#include "conversion.h"
#include "setupcore.h"

namespace tavik::conversion {

bool ReadSnFile(unsigned char* sn, char* hex) { return read_hd_sn(sn, hex) == 1; }

bool ReadEfknFile(unsigned char* efkn) {
  char hex[65];
  return read_hd_efkn(efkn, hex) == 1;
}

RecordsCheck CheckKeyAgainstRecords(const unsigned char* xcfk) {
  unsigned char sn[17] = {};
  char sn_hex[33] = {};
  unsigned char efkn[33] = {};
  if (!ReadSnFile(sn, sn_hex) || !ReadEfknFile(efkn)) return RecordsCheck::kRecordsUnreadable;
  unsigned char kn[17] = {};
  char response[33] = {};
  if (!generate_kn(sn_hex, response, kn)) return RecordsCheck::kNoAnswer;
  unsigned char expanded_kn[32];
  expand_kn(kn, 16, expanded_kn);
  _dec(efkn, 32, expanded_kn, 32);
  return std::memcmp(efkn, xcfk, 32) == 0 ? RecordsCheck::kMatches : RecordsCheck::kDiffers;
}

bool KeyMatchesRecords(const unsigned char* xcfk) { return CheckKeyAgainstRecords(xcfk) == RecordsCheck::kMatches; }

TokenKey KeyFromToken(unsigned char* xcfk, char* key_text) {
  unsigned char s1[17] = {};
  const int read = read_nubo_s1(s1, 16);
  if (read == 3) return TokenKey::kNoS1;
  if (read != 0) return TokenKey::kS1NotRead;
  char s1_hex[33] = {};
  expandBin(s1, 16, s1_hex);
  unsigned char cfk[17] = {};
  char response[33] = {};
  if (!generate_cfk(s1_hex, cfk, response)) return TokenKey::kNoAnswer;
  expand_cfk(cfk, xcfk);
  if (key_text != nullptr) std::memcpy(key_text, response, sizeof response);
  return TokenKey::kMade;
}

TokenKeyUse TokenKeyForRecords() {
  unsigned char sn[17] = {};
  char sn_hex[33] = {};
  unsigned char efkn[33] = {};
  if (!ReadSnFile(sn, sn_hex) || !ReadEfknFile(efkn)) return TokenKeyUse::kNotUsed;
  unsigned char xcfk[33] = {};
  switch (KeyFromToken(xcfk)) {
    case TokenKey::kMade:
      return KeyMatchesRecords(xcfk) ? TokenKeyUse::kUsed : TokenKeyUse::kNotUsed;
    case TokenKey::kNoS1:
      return TokenKeyUse::kNotUsed;
    case TokenKey::kS1NotRead:
    case TokenKey::kNoAnswer:
      break;
  }
  return TokenKeyUse::kUnknown;
}

}  // namespace tavik::conversion
