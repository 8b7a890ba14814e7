// Unlock Windows (102): the same token as at logon, and its password, unlock the workstation; the driver is not
// asked anything. On a machine with the disk encryption the token's S1 record must still read and check.
#include <cstring>

#include "logongate_private.h"
#include "resource.h"
#include "token_keys.h"
#include "tokenapi.h"

namespace tavik::logongate {
namespace {

constexpr int kPinCapacity = 63;
constexpr int kNameSize = 128;

int Unlock(HWND dialog) {
  std::string pin = Narrow(ItemText(dialog, IDC_UNLOCK_PASSWORD, kPinCapacity));
  if (NuboPing() == 0) {
    ShowMessageDialog(dialog, kNotInserted);
    return WLX_SAS_ACTION_NONE;
  }
  switch (NuboCheckPin(pin.data(), static_cast<int>(pin.size()))) {
    case 0:
      break;
    case 1:
      ShowMessageDialog(dialog, kInvalidPassword);
      return WLX_SAS_ACTION_NONE;
    case 2:
      ShowMessageDialog(dialog, kExceededAttempts);
      return WLX_SAS_ACTION_NONE;
    default:
      return -1;  // a token error: the dialog stays
  }
  char name[kNameSize] = {};
  int length = kNameSize;
  if (NuboGetUserName(name, &length) != 0 || std::strcmp(name, TheModule().bound_esn) != 0) {
    ShowMessageDialog(dialog, "This Tavik cannot be used to unlock the workstation");
    return WLX_SAS_ACTION_NONE;
  }
  // Without the disk encryption the token never got an S1 record, and the check would lock the user out.
  uint8_t s1[keys::kKeySize];
  if (TheModule().installed && keys::ReadS1Record(s1) != keys::S1Read::kValid) {
    ShowBox(dialog, kReadTavikFailed, kCaption, MB_OK | MB_ICONWARNING);
    return WLX_SAS_ACTION_NONE;
  }
  return WLX_SAS_ACTION_UNLOCK_WKSTA;
}

INT_PTR UnlockProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) {
    SendDlgItemMessageW(dialog, IDC_UNLOCK_PASSWORD, EM_LIMITTEXT, kPinCapacity, 0);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wparam) == IDC_UNLOCK_CANCEL) {
    EndDialog(dialog, 0);
    return TRUE;
  }
  if (LOWORD(wparam) != IDC_UNLOCK_OK) return FALSE;
  const int result = Unlock(dialog);
  if (result >= 0) EndDialog(dialog, result);
  return TRUE;
}

}  // namespace

int ShowUnlockDialog() { return ShowDialog(IDD_UNLOCK, UnlockProc, 0); }

}  // namespace tavik::logongate
