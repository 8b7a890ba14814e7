// recoverkit's dialogs, string and icon, in place of its resource script.
#include "resource.h"
#include "winres.h"

namespace {

using namespace xp::res;

const DialogResources kDialogs = {
    {IDD_ABOUTBOX, "", {LText("", IDC_ABOUT_TEXT), DefPushButton("OK", IDOK, WS_GROUP)}},
    {IDD_RECOVERKIT_DIALOG,
     "File Recovery Tool",
     {
         EditText(IDC_INTRODUCTION, ES_MULTILINE | ES_READONLY),
         DefPushButton("Recover My Files", IDOK, WS_GROUP),
         PushButton("Exit", IDCANCEL),
     }},
};

const StringResources kStrings = {{IDS_ABOUTBOX, "&About Tavik Recovery Tool"}};

const IconResources kIcons = {IDR_MAINFRAME};

}  // namespace
