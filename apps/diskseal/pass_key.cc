// The key of a pass that runs in a later process than the one that made the key records: rebuilt from the token's
// S1 and accepted only when it is the key the install's records hold, so that a token whose S1 changed since
// never encrypts another file under a different key.
#include "diskseal_private.h"
#include "init_encrypt.h"
#include "tokenio.h"

using tavik::diskseal::Stop;

void CInitEncrypt::CheckTokenAndPassword() {
  if (!tavik::diskseal::CheckEsnFourTimes(owner_->Window())) {
    Stop("Please insert the correct Tavik.\r\nReboot your machine to fininsh initial encryption.");
  }
  if (CheckPwd(owner_->Password().c_str()) != 0) Stop("Check Tavik Password Failure.");
}

void CInitEncrypt::PrepareKeyFromToken(const char* marker_error) {
  CheckTokenAndPassword();
  unsigned char s1[17] = {};
  if (read_nubo_s1(s1, 16) != 0) Stop("Read S1 from Tavik Failed");
  char s1_hex[33] = {};
  expandBin(s1, 16, s1_hex);
  unsigned char cfk[17] = {};
  char response[33] = {};
  if (!generate_cfk(s1_hex, cfk, response)) Stop("Error: generate_cfk() (CInitEncrypt::doMRVInstall())");
  expand_cfk(cfk, key_);
  if (!bValidXCFK(key_)) Stop(marker_error);
  if (!tavik::diskseal::KeyMatchesRecords(key_)) {
    Stop(
        "The key on your Tavik is not the key your files were encrypted with.\r\n"
        "Please insert the Tavik this installation was started with.");
  }
  key_ready_ = true;
}
