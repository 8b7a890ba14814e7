// The sample dialogs' templates and their recording dialog procedures.
#include "sample_dialog.h"

#include <utility>

#include "winres.h"

namespace xp::user32::testing {
namespace {

using namespace xp::res;

const DialogResources kDialogs = {
    {kSampleDialog,
     "Sample",
     {
         LText("Password:", kLabel),
         EditText(kPassword, ES_PASSWORD | ES_AUTOHSCROLL),
         EditText(kPin, ES_NUMBER),
         AutoCheckBox("Remember", kRemember),
         AutoRadioButton("Token", kToken, WS_GROUP),
         AutoRadioButton("Key Answer", kKeyAnswer),
         ComboBox(kAccounts, CBS_DROPDOWNLIST | WS_VSCROLL | WS_GROUP),
         Progress(kProgress),
         PushButton("Help", kHelp, WS_DISABLED),
         PushButton("Apply", kApply),
         LText("not shown", kNote).Not(WS_VISIBLE),
         EditText(kLog, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL),
         DefPushButton("OK", IDOK),
         PushButton("Cancel", IDCANCEL),
     }},
    {kMessageDialog, "Message", {LText("", kMessageText), DefPushButton("OK", IDOK)}},
};

thread_local SampleDialog* current = nullptr;

std::string CodeName(int code) {
  switch (code) {
    case BN_CLICKED: return "clicked";
    case EN_CHANGE: return "change";
    case EN_MAXTEXT: return "maxtext";
    case CBN_SELCHANGE: return "selchange";
    default: return std::to_string(code);
  }
}

INT_PTR SampleDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  SampleDialog& sample = *current;
  switch (message) {
    case WM_INITDIALOG:
      sample.messages.push_back("init");
      SendDlgItemMessageA(dialog, kPassword, EM_LIMITTEXT, 8, 0);
      SendDlgItemMessageA(dialog, kAccounts, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Administrator"));
      SendDlgItemMessageA(dialog, kAccounts, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("User"));
      CheckRadioButton(dialog, kToken, kKeyAnswer, kToken);
      if (sample.on_init) sample.on_init(dialog);
      return TRUE;
    case WM_CLOSE:
      sample.messages.push_back("close");
      return sample.handle_close;
    case WM_DEVICECHANGE:
      sample.messages.push_back("devicechange " + std::to_string(wparam));
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      sample.messages.push_back("command " + std::to_string(id) + " " + CodeName(HIWORD(wparam)));
      if (sample.on_command) sample.on_command(dialog, id);
      if (id == kApply && sample.on_apply) sample.on_apply(dialog);
      if (id == IDOK && sample.ends_on_ok) EndDialog(dialog, 1);
      if (id == IDCANCEL && sample.ends_on_cancel) EndDialog(dialog, 2);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

INT_PTR MessageDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetDlgItemTextA(dialog, kMessageText, reinterpret_cast<const char*>(lparam));
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
    EndDialog(dialog, 1);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR RunSample(SampleDialog& sample, int dialog) {
  SampleDialog* const outer = std::exchange(current, &sample);
  const INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(dialog), nullptr, &SampleDialogProc, 0);
  current = outer;
  return result;
}

INT_PTR ShowMessageDialog(HWND owner, const char* text) {
  return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kMessageDialog), owner, &MessageDialogProc,
                         reinterpret_cast<LPARAM>(text));
}

std::string DlgItemText(HWND dialog, int id) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(GetDlgItem(dialog, id))) + 1, '\0');
  text.resize(GetDlgItemTextA(dialog, id, text.data(), static_cast<int>(text.size())));
  return text;
}

}  // namespace xp::user32::testing
