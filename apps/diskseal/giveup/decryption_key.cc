// The main dialog's part in the give-up: the key rebuilt from the token's S1, and the run started with it. A key
// that is not the one the install's records hold decrypts nothing; when the records cannot be read, the token's key
// is all there is, and the log says it was used unchecked.
#include "dialogs/diskseal_dlg.h"
#include "giveup/giveup.h"
#include "setupcore.h"
#include "tokenio.h"

using namespace tavik::diskseal;
namespace conversion = tavik::conversion;

bool CDisksealDlg::PrepareDecryptionKey() {
  chunk_size_ = 65536;
  if (!CheckEsnFourTimes(this)) {
    Box(this,
        "Maximum tries exceeded.\r\nPlease get the correct Tavik, then reboot your machine to\r\nfininsh decryption.",
        kCaption, MB_OK);
    return false;
  }
  if (CheckPwd(Password().c_str()) != 0) {
    Box(this, "Check Tavik Password Failure.", kCaption, MB_OK);
    return false;
  }
  if (KeyFromToken(key_, key_text_) != TokenKey::kMade || !bValidXCFK(key_)) return false;
  switch (conversion::CheckKeyAgainstRecords(key_)) {
    case conversion::RecordsCheck::kMatches:
      return true;
    case conversion::RecordsCheck::kRecordsUnreadable:
      conversion::AppendToFile(InstallFile("MRVLOG"), "",
                               LogLine("Warning: the key records cannot be read; the key from the Tavik is used."));
      return true;
    case conversion::RecordsCheck::kDiffers:
      Box(this, kNotTheInstallsKey, kCaption, MB_OK | MB_ICONERROR);
      return false;
    case conversion::RecordsCheck::kNoAnswer:
      break;
  }
  return false;
}

void CDisksealDlg::decUnFinishedHD() {
  GiveUp run(this, [this] { return PrepareDecryptionKey(); }, key_, key_text_);
  const int code = run.Run();
  EndDialog(IDCANCEL);
  ExitProcess(static_cast<UINT>(code));
}
