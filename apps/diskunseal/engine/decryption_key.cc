// The key of the rounds: the Key Answer's, or the token's S1 through the token's answer after the password. A key
// from S1 must be the one the disk's key records hold, or it would turn every file into noise; when the records
// cannot be read, S1 is all there is, and the log says that it was used unchecked.
#include <cstring>

#include "decryptor_run.h"
#include "setupcore.h"
#include "tokenio.h"

namespace tavik::diskunseal {

void CDecryptor::Run::PrepareKey(const char* no_s1, const char* no_cfk, const char* invalid) {
  using conversion::Stop;
  if (key_ready) {
    if (!bValidXCFK(xcfk)) Stop("Incorrect decryption key.");
    return;
  }
  if (key_answer) Stop("Decryption key not created.");
  std::memset(xcfk, 0, sizeof xcfk);
  CheckEsnOrStop(3);
  if (CheckPwd(password.c_str()) != 0) Stop("Check Tavik Password Failure.");
  char text[33] = {};
  switch (conversion::KeyFromToken(xcfk, text)) {
    case conversion::TokenKey::kMade:
      break;
    case conversion::TokenKey::kNoS1:
    case conversion::TokenKey::kS1NotRead:
      Stop(no_s1);
    case conversion::TokenKey::kNoAnswer:
      Stop(no_cfk);
  }
  if (!bValidXCFK(xcfk)) Stop(invalid);
  switch (conversion::CheckKeyAgainstRecords(xcfk)) {
    case conversion::RecordsCheck::kMatches:
      break;
    case conversion::RecordsCheck::kDiffers:
      Stop("The key made from Tavik is not the key of this disk.\r\nNo file was decrypted with it.");
    case conversion::RecordsCheck::kRecordsUnreadable: {
      const std::string note = "Warning: the key records cannot be read; the key made from Tavik's S1 is used.";
      Debug(note);
      if (log != nullptr) Log(note);
      break;
    }
    case conversion::RecordsCheck::kNoAnswer:
      Stop(no_cfk);
  }
  key_text = text;
  key_ready = true;
}

}  // namespace tavik::diskunseal
