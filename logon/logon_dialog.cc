// Logon Windows (300): the token and its password, or a Key Answer for the Key Puzzle shown. Log On loads the
// driver, checks the token (its ESN is the one bound at install) and the password, hands the disk key over and
// lets the user choose the Windows account kept on the token; a Key Answer opens the disk and leaves the Windows
// logon to the system's own dialog.
#include <cstring>

#include "esn_text.h"
#include "hex.h"
#include "interface.h"
#include "key_records.h"
#include "logongate_private.h"
#include "resource.h"
#include "tokenapi.h"
#include "tokenio.h"

namespace tavik::logongate {
namespace {

constexpr int kPasswordCapacity = 63;
constexpr int kAnswerCapacity = 32;
constexpr size_t kRadioTextLimit = 159;
constexpr size_t kShortestPassword = 6;
constexpr size_t kLongestPassword = 63;
constexpr int kIdentitySize = 128;
constexpr int kNotLoadedButFine = 1;
constexpr UINT kErrorBox = MB_OK | MB_ICONERROR;

bool KeyAnswerMode(HWND dialog) { return IsDlgButtonChecked(dialog, IDC_KEY_ANSWER_MODE) == BST_CHECKED; }

void SelectMode(HWND dialog, bool key_answer) {
  for (const int id : {IDC_TOKEN_MODE, IDC_PASSWORD_LABEL, IDC_PASSWORD}) {
    EnableItem(dialog, id, !key_answer || id == IDC_TOKEN_MODE);
  }
  for (const int id : {IDC_PUZZLE_LABEL, IDC_ANSWER_LABEL, IDC_ANSWER_HINT, IDC_KEY_PUZZLE, IDC_KEY_ANSWER}) {
    EnableItem(dialog, id, key_answer);
  }
  EnableItem(dialog, IDC_KEY_ANSWER_MODE, true);
  SetFocus(GetDlgItem(dialog, key_answer ? IDC_KEY_ANSWER : IDC_PASSWORD));
}

// The Key Puzzle: the SN record as 32 lower-case digits (a half-done rotation is first finished or undone).
void ShowKeyPuzzle(HWND dialog) {
  uint8_t sn[keys::kSnSize];
  if (keys::ReadSnRecord(kInstallFolder, sn) != keys::RecordRead::kRead) {
    LogEvent(kWarning, "No Key Puzzle: the SN record cannot be read\n");
    return;
  }
  char text[2 * keys::kSnSize + 1] = {};
  hex::Encode(sn, keys::kSnSize, text, /*upper=*/false);
  SetItemText(dialog, IDC_KEY_PUZZLE, Wide(text));
}

void Initialize(HWND dialog, LogonState& state) {
  if (TheModule().installed) {
    EnableItem(dialog, IDC_DEFAULT_LOGON, false);
    SelectMode(dialog, false);
    std::string esn;
    if (ReadRegistryEsn(&esn)) {
      std::u16string text = u"Log On with Tavik " + Wide(esn);
      if (text.size() > kRadioTextLimit) text.resize(kRadioTextLimit);
      SetItemText(dialog, IDC_TOKEN_MODE, text);
    } else {
      ShowBox(dialog, "Get ESN error.", kCaption, kErrorBox);
    }
    ShowKeyPuzzle(dialog);
    SendDlgItemMessageW(dialog, IDC_KEY_ANSWER, EM_LIMITTEXT, kAnswerCapacity, 0);
    CheckDlgButton(dialog, IDC_TOKEN_MODE, BST_CHECKED);
  }
  SendDlgItemMessageW(dialog, IDC_PASSWORD, EM_LIMITTEXT, kPasswordCapacity, 0);
  SetFocus(GetDlgItem(dialog, IDC_PASSWORD));
  state.save_required = 0;
  state.current = nullptr;
}

// Once per Log On until it worked; never in safe mode. A failure is told and the logon goes on.
void LoadDriver(HWND dialog) {
  Module& module = TheModule();
  if (module.driver_loaded || SafeMode()) return;
  if (MorvelLoadDriver()) {
    module.driver_loaded = true;
  } else if (MorvelGetErrorCode(0) != kNotLoadedButFine) {
    ShowBox(dialog, "Load Driver Failure.", "logongate Message", MB_OK | MB_ICONWARNING);
  }
}

void DiskKeyDone() {
  MorvelStart();
  TheModule().driver_loaded = false;
}

// The end of a Log On: the dialog's result, or -1 to stay.
int LogOnWithKeyAnswer(HWND dialog) {
  KeyContext context;
  context.owner = dialog;
  if (!CheckKeyAnswer(ItemText(dialog, IDC_KEY_ANSWER, kAnswerCapacity), context)) return -1;
  DiskKeyDone();
  TheModule().forward = true;
  return 1;
}

// The token must be the one bound at install: the same ESN, by the one ESN rule.
bool RightToken(HWND dialog) {
  unsigned char identity[kIdentitySize] = {};
  if (GetESN(identity) != 1) {
    ShowBox(dialog,
            "Tavik has not been detected.\r\nPlease make sure your Tavik properly inserted.\r\nIf your Tavik is "
            "already inserted, please unplug it,\r\nreinsert it and try log on again.",
            kCaption, kErrorBox);
    return false;
  }
  std::string bound;
  ReadRegistryEsn(&bound);
  if (EsnText(identity, sizeof identity) != bound) {
    ShowBox(dialog, "Wrong Tavik. Please insert Tavik with this ESN#: " + bound + ".", kCaption, kErrorBox);
    return false;
  }
  return true;
}

int LogOnWithToken(HWND dialog, LogonState& state) {
  Module& module = TheModule();
  if (module.installed && !RightToken(dialog)) return 2;
  std::string password = Narrow(ItemText(dialog, IDC_PASSWORD, kPasswordCapacity));
  if (password.size() < kShortestPassword || password.size() > kLongestPassword) {
    ShowMessageDialog(dialog, "Tavik Password must be between 6 and 63 characters in length.");
    return 2;
  }
  if (NuboPing() == 0) {
    ShowMessageDialog(dialog, kNotInserted);
    return 2;
  }
  const int check = NuboCheckPin(password.data(), static_cast<int>(password.size()));
  std::fill(password.begin(), password.end(), '\0');
  switch (check) {
    case 0:
      break;
    case 1:
      ShowMessageDialog(dialog, kInvalidPassword);
      return 2;
    case 2:
      ShowMessageDialog(dialog, kExceededAttempts);
      SetItemText(dialog, IDC_PASSWORD, u"");
      return -1;
    default:
      return -1;
  }
  if (module.installed) {
    KeyContext context;
    context.owner = dialog;
    switch (HandOverDiskKey(context)) {
      case kKeyWasHeld:
      case kSafeMode:
      case kKeySetAndRotated:
        DiskKeyDone();
        break;
      case kS1RecordBad:
        ShowBox(dialog, kReadTavikFailed, kCaption, MB_OK | MB_ICONWARNING);
        return 2;
      default:
        return 2;
    }
  }
  int length = sizeof module.bound_esn;
  std::memset(module.bound_esn, 0, sizeof module.bound_esn);
  NuboGetUserName(module.bound_esn, &length);
  LoadMiniAccounts(&state);
  return ShowSelectAccount(&state, dialog);
}

INT_PTR LogonProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  static LogonState* state = nullptr;
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<LogonState*>(lparam);
    Initialize(dialog, *state);
    return FALSE;  // the focus is set
  }
  if (message != WM_COMMAND) return FALSE;
  int result = -1;
  switch (LOWORD(wparam)) {
    case IDC_TOKEN_MODE:
    case IDC_KEY_ANSWER_MODE:
      SelectMode(dialog, KeyAnswerMode(dialog));
      return TRUE;
    case IDC_LOG_ON:
      if (TheModule().installed) LoadDriver(dialog);
      result = TheModule().installed && KeyAnswerMode(dialog) ? LogOnWithKeyAnswer(dialog)
                                                               : LogOnWithToken(dialog, *state);
      break;
    case IDC_DEFAULT_LOGON:
      TheModule().forward = true;
      result = 1;
      break;
    case IDC_SHUTDOWN:
      result = ShowShutdownDialog(state, dialog);
      if (result == WLX_SAS_ACTION_NONE) result = -1;
      break;
    case IDCANCEL:
      result = 2;
      break;
    default:
      return FALSE;
  }
  if (result >= 0) EndDialog(dialog, result);
  return TRUE;
}

}  // namespace

int ShowLogonDialog(LogonState* state) { return ShowDialog(IDD_LOGON, LogonProc, reinterpret_cast<LPARAM>(state)); }

}  // namespace tavik::logongate
