// The last step of a decryption: the recovery tool when files were left encrypted and the user wants it, else the
// uninstall command the outside installer left in "ISLink".
#include <vector>

#include "conversion.h"
#include "disk_state.h"
#include "removal.h"
#include "setupcore.h"

namespace tavik::conversion {

bool HandOver(CWnd* owner, bool files_failed, const HandOverTexts& texts) {
  std::vector<char> link(texts.link_limit + 1, '\0');
  if (!getRegStrData(link.data(), static_cast<unsigned long>(link.size()), HKEY_LOCAL_MACHINE, kFlagKey, "ISLink")) {
    Box(owner, "Read Installshield link failed.", kCaption, MB_OK | MB_ICONERROR);
    return false;
  }
  bool recover = false;
  if (files_failed) {
    recover = Box(owner, texts.recovery_question, kCaption, MB_YESNO | texts.question_icon) == IDYES;
  } else {
    Box(owner, texts.all_decrypted, kCaption, MB_OK | texts.all_decrypted_icon);
  }
  if (recover) {
    if (launchAProcess(kRecoveryTool)) return true;
    Box(owner, "Launch process failed.", kCaption, MB_OK | MB_ICONERROR);
    return false;
  }
  if (launchAProcess(link.data())) return true;
  Box(owner, "Launch process failed.\r\nPlease run Installshield from CD to complete uninstall.", kCaption,
      MB_OK | MB_ICONERROR);
  return false;
}

}  // namespace tavik::conversion
