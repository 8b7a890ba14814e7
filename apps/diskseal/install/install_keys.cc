// The install's key phases: S1 drawn and written to the token (checkpoint 200), then the file key derived from it
// through the token, SN and KN made, the EFKN that wraps the file key under KN written, and every record read back
// and verified from the files as a later logon will read them (checkpoint 300).
#include <cstring>

#include "diskseal_private.h"
#include "init_encrypt.h"
#include "msvcrt.h"

using tavik::conversion::ReadEfknFile;
using tavik::conversion::ReadSnFile;
using tavik::diskseal::Stop;

namespace {

void WriteState(unsigned short state) {
  if (!write_hd_install_state(state)) Stop("Write install state error.");
}

// MRVPUZSN must give back the SN made, bytes and digits; its lower-case digits go into file_hex. `suffix` tells
// the two read-backs apart in their messages.
void ReadBackSn(const unsigned char* sn, const char* sn_hex, const std::string& suffix, char* file_hex) {
  unsigned char file_sn[17] = {};
  if (!ReadSnFile(file_sn, file_hex)) Stop("Read Data Error [001]" + suffix);
  if (std::memcmp(file_sn, sn, 16) != 0) Stop("Write Data Error [002]" + suffix);
  if (_strnicmp(file_hex, sn_hex, 32) != 0) Stop("Write Data Error [003]" + suffix);
}

}  // namespace

void CInitEncrypt::WriteTokenS1() {
  unsigned char s1[17] = {};
  char s1_hex[33] = {};
  generate_s1(s1, s1_hex);
  CheckTokenAndPassword();
  // A state that went back (or was lost) must not cost the key the files may be encrypted under.
  switch (tavik::diskseal::TokenKeyForRecords()) {
    case tavik::diskseal::TokenKeyUse::kUsed:
      AppendProgressText("\r\n\tKey already exists! Old Key will be used.");
      WriteState(tavik::install_state::kS1Written);
      return;
    case tavik::diskseal::TokenKeyUse::kUnknown:
      Stop("Read S1 from Tavik Failed");
    case tavik::diskseal::TokenKeyUse::kNotUsed:
      break;
  }
  if (!write_nubo_s1(s1, 16)) Stop("write_nubo_s1 Error(CInitEncrypt::doMRVInstall())");
  unsigned char back[17] = {};
  if (read_nubo_s1(back, 16) != 0) Stop("Read S1 from Tavik Failed");
  if (std::memcmp(back, s1, 16) != 0) Stop("Write S1 Failed.");
  WriteState(tavik::install_state::kS1Written);
}

void CInitEncrypt::MakeKeyRecords() {
  CheckTokenAndPassword();
  unsigned char s1[17] = {};
  if (read_nubo_s1(s1, 16) != 0) Stop("Read S1 from Tavik Failed");
  char s1_hex[33] = {};
  expandBin(s1, 16, s1_hex);
  unsigned char cfk[17] = {};
  char response[33] = {};
  if (!generate_cfk(s1_hex, cfk, response)) Stop("Error: generate_cfk() (CInitEncrypt::doMRVInstall())");

  unsigned char sn[17] = {};
  char sn_hex[33] = {};
  generate_sn(sn, sn_hex);
  write_hd_sn(sn, 16, 0, 0);
  char file_hex[33] = {};
  ReadBackSn(sn, sn_hex, "", file_hex);

  unsigned char kn[17] = {};
  if (!generate_kn(sn_hex, response, kn)) Stop("Error: generate_kn() (CInitEncrypt::doMRVInstall())");
  unsigned char expanded_kn[32];
  expand_kn(kn, 16, expanded_kn);
  expand_cfk(cfk, key_);
  if (!bValidXCFK(key_)) Stop("Invalid Data [002]");
  unsigned char efkn[33] = {};
  std::memcpy(efkn, key_, 32);
  if (!bValidXCFK(efkn)) Stop("Invalid Data [003]");
  _enc(efkn, 32, expanded_kn, 32);

  unsigned char check[33] = {};
  std::memcpy(check, efkn, 32);
  _dec(check, 32, expanded_kn, 32);
  if (!bValidXCFK(check)) Stop("Invalid Data [004]");
  if (std::memcmp(check, key_, 32) != 0) Stop("_enc/_dec() does not work(CInitEncrypt::doMRVInstall())");

  write_hd_efkn(efkn, 32);
  unsigned char file_efkn[33] = {};
  if (!ReadEfknFile(file_efkn)) Stop("Read Data Error (004)");
  if (std::memcmp(file_efkn, efkn, 32) != 0) Stop("Write Data Failed [005].");

  // Once more from the files alone, the way the logon will unwrap the key.
  const std::string verify = " - Verify S2/EFK2";
  ReadBackSn(sn, sn_hex, verify, file_hex);
  if (!generate_kn(file_hex, response, kn)) Stop("Error: generate_kn() (CInitEncrypt::doMRVInstall())" + verify);
  expand_kn(kn, 16, expanded_kn);
  _dec(file_efkn, 32, expanded_kn, 32);
  if (!bValidXCFK(file_efkn)) Stop("Invalid Data [004]" + verify);
  if (std::memcmp(file_efkn, key_, 32) != 0) Stop("_enc/_dec() does not work(CInitEncrypt::doMRVInstall())" + verify);
  key_ready_ = true;
  WriteState(tavik::install_state::kKeysReady);
}
