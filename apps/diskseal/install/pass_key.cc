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
  switch (tavik::diskseal::KeyFromToken(key_)) {
    case tavik::diskseal::TokenKey::kMade:
      break;
    case tavik::diskseal::TokenKey::kNoS1:
    case tavik::diskseal::TokenKey::kS1NotRead:
      Stop("Read S1 from Tavik Failed");
    case tavik::diskseal::TokenKey::kNoAnswer:
      Stop("Error: generate_cfk() (CInitEncrypt::doMRVInstall())");
  }
  if (!bValidXCFK(key_)) Stop(marker_error);
  if (!tavik::diskseal::KeyMatchesRecords(key_)) {
    Stop(tavik::diskseal::kNotTheInstallsKey);
  }
  key_ready_ = true;
}
