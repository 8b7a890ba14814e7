// diskseal's dialogs, in place of its resource script: each dialog's number, caption and controls.
#include "resource.h"
#include "winres.h"

namespace {

using namespace xp::res;

constexpr int kNoId = -1;

const DialogResources kDialogs = {
    {IDD_PHASE_TWO,
     "",
     {
         LText("", IDC_PHASE_TWO_PLAN),
         LText("", IDC_PHASE_TWO_STATUS),
         DefPushButton("Continue", IDOK),
     }},
    {IDD_CREATE_PASSWORD,
     "Quillmarsh Tavik",
     {
         LText("Create Password", kNoId),
         EditText(IDC_NEW_PASSWORD, ES_PASSWORD | ES_AUTOHSCROLL),
         LText("Retype Password", kNoId),
         EditText(IDC_RETYPE_PASSWORD, ES_PASSWORD | ES_AUTOHSCROLL),
         EditText(IDC_PASSWORD_RULES, ES_MULTILINE | ES_READONLY),
         DefPushButton("Continue", IDOK),
         PushButton("Cancel", IDCANCEL).Not(WS_VISIBLE),
     }},
    {IDD_DISKSEAL_DIALOG,
     "Quillmarsh Tavik Installation",
     {
         EditText(IDC_PROGRESS_TEXT, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL),
         LText("Confirm Password", IDC_PASSWORD_LABEL),
         EditText(IDC_PASSWORD, ES_PASSWORD | ES_AUTOHSCROLL),
         EditText(IDC_CURRENT_FILE, ES_READONLY | ES_AUTOHSCROLL).Not(WS_VISIBLE),
         EditText(IDC_WARNING, ES_MULTILINE | ES_READONLY),
         Progress(IDC_PROGRESS_BAR).Not(WS_VISIBLE),
         DefPushButton("Continue", IDOK),
         PushButton("Exit", IDC_EXIT).Not(WS_VISIBLE),
     }},
    {IDD_MESSAGE, "Quillmarsh Tavik", {LText("", IDC_MESSAGE_TEXT), DefPushButton("OK", IDOK)}},
    {IDD_RESUME,
     "Quillmarsh Tavik - Incomplete Install Detected",
     {
         GroupBox("Please choose:", kNoId),
         AutoRadioButton("I want to decrypt my hard drive and uninstall Quillmarsh Tavik", IDC_CHOOSE_DECRYPT,
                         WS_GROUP),
         AutoRadioButton("I want to continue encyption and complete installing Quillmarsh Tavik", IDC_CHOOSE_CONTINUE),
         DefPushButton("Continue", IDOK, WS_GROUP),
     }},
    {IDD_REPORT,
     "Quillmarsh Tavik - Incomplete Decryption",
     {
         LText("Some files could not be decrypted. The report below lists them; they stay encrypted and can be "
               "recovered into copies beside them.",
               kNoId),
         EditText(IDC_REPORT_TEXT, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL),
         AutoCheckBox("I have read the report", IDC_REPORT_READ),
         PushButton("Recover My Files", IDC_REPORT_RECOVER, WS_DISABLED),
         PushButton("Complete Uninstall", IDC_REPORT_COMPLETE, WS_DISABLED),
     }},
};

}  // namespace
