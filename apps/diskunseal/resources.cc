// diskunseal's dialogs, string, icon and backdrop bitmap, in place of its resource script: each dialog's number,
// caption, size and controls; the engine's report and message dialogs come from its library.
#include "engine/engine_resources.h"
#include "resource.h"
#include "winres.h"

namespace {

using namespace xp::res;

const DialogResources kDialogs = {
    {IDD_ABOUTBOX, "About", {LText("", IDC_ABOUT_TEXT), DefPushButton("OK", IDOK, WS_GROUP)}},
    // A bare popup, maximised once it is up.
    {IDD_BACKDROP,
     "",
     {
         DefPushButton("OK", IDOK).Not(WS_VISIBLE),
         PushButton("Cancel", IDCANCEL).Not(WS_VISIBLE),
     },
     320,
     240,
     WS_POPUP},
    {IDD_DISKUNSEAL_DIALOG,
     "Quillmarsh Tavik Uninstallation",
     {
         EditText(IDC_PROGRESS_TEXT, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL),
         GroupBox("Please check the appropriate button", IDC_METHOD_GROUP),
         // The two ways in are one radio group: the label after them starts the next group.
         AutoRadioButton("Decrypt Hard Drive with Tavik", IDC_WITH_TOKEN, WS_GROUP),
         AutoRadioButton("Decrypt Hard Drive with Key Answer", IDC_WITH_KEY_ANSWER),
         EditText(IDC_TOKEN_NOTE, ES_MULTILINE | ES_READONLY),
         LText("Password", IDC_PASSWORD_LABEL),
         EditText(IDC_PASSWORD, ES_PASSWORD | ES_AUTOHSCROLL),
         LText("The password is case sensitive, be sure to check your CAPS lock.", IDC_CAPS_LOCK_NOTE),
         EditText(IDC_KEY_ANSWER_NOTE, ES_MULTILINE | ES_READONLY),
         LText("Key Puzzle", IDC_KEY_PUZZLE_LABEL),
         EditText(IDC_KEY_PUZZLE, ES_READONLY | ES_AUTOHSCROLL),
         LText("Key Answer", IDC_KEY_ANSWER_LABEL),
         EditText(IDC_KEY_ANSWER, ES_AUTOHSCROLL),
         DefPushButton("Continue", IDC_CONTINUE, WS_GROUP),
         PushButton("Exit", IDC_EXIT).Not(WS_VISIBLE),
         Progress(IDC_PROGRESS_BAR).Not(WS_VISIBLE),
         EditText(IDC_CURRENT_FILE, ES_READONLY | ES_AUTOHSCROLL).Not(WS_VISIBLE),
         EditText(IDC_WARNING, ES_MULTILINE | ES_READONLY).Not(WS_VISIBLE),
     },
     // Both views' controls: the dialog opens at half this height, and the progress view takes two thirds of that.
     // A caption without the system menu box.
     500,
     540,
     WS_POPUP | WS_CAPTION},
    tavik::diskunseal::ReportDialogTemplate(),
    tavik::diskunseal::MessageDialogTemplate(),
};

const StringResources kStrings = {{IDS_ABOUTBOX, "&About Tavik Uninstall Component"}};

const IconResources kIcons = {IDR_MAINFRAME};

// Of the artwork's 289 x 246 pixels, the top left 200 x 200 are stretched over the screen.
const BitmapResources kBitmaps = {{IDB_BACKDROP, 289, 246}};

}  // namespace
