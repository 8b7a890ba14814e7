// recoverkit's dialog, in place of its resource script.
#include "resource.h"
#include "winres.h"

namespace {

using namespace xp::res;

const DialogResources kDialogs = {
    {IDD_RECOVERKIT_DIALOG,
     "File Recovery Tool",
     {
         EditText(IDC_INTRODUCTION, ES_MULTILINE | ES_READONLY),
         DefPushButton("Recover My Files", IDOK, WS_GROUP),
         PushButton("Exit", IDCANCEL),
     }},
};

}  // namespace
