// configpanel's dialogs, string, icon and banner, in place of its resource script.
#include "resource.h"
#include "winres.h"

namespace {

using namespace xp::res;

constexpr int kNoId = -1;

const DialogResources kDialogs = {
    {IDD_ABOUTBOX, "", {LText("", IDC_ABOUT_TEXT), DefPushButton("OK", IDOK, WS_GROUP)}},
    {IDD_CONFIGPANEL_DIALOG,
     "Tavik Configuration",
     {
         EditText(IDC_INTRODUCTION, ES_MULTILINE | ES_READONLY),
         LText("Tavik Server:", kNoId),
         EditText(IDC_TAVIK_HOST, ES_AUTOHSCROLL),
         LText("Recovery Server:", kNoId),
         EditText(IDC_RECOVERY_HOST, ES_AUTOHSCROLL),
         LText("Registration Server:", kNoId),
         EditText(IDC_REGISTRATION_HOST, ES_AUTOHSCROLL),
         LText("Authentication Client:", kNoId),
         EditText(IDC_CLIENT_HOST, ES_AUTOHSCROLL),
         LText("Transport Type:", kNoId),
         AutoRadioButton("HTTPS", IDC_HTTPS, WS_GROUP),
         AutoRadioButton("HTTP", IDC_HTTP),
         LText("Port:", kNoId),
         EditText(IDC_PORT, ES_AUTOHSCROLL),
         DefPushButton("&OK", IDOK, WS_GROUP),
         PushButton("&Cancel", IDCANCEL),
         PushButton("&Apply", IDC_APPLY),
     },
     420,
     430},
};

const StringResources kStrings = {{IDS_ABOUTBOX, "&About Tavik Configuration Tool..."}};

const IconResources kIcons = {IDR_MAINFRAME};

// The banner spans the client area's width: the dialog's 420 pixels less its frame.
const BitmapResources kBitmaps = {{IDB_BANNER, 414, 60}};

}  // namespace
