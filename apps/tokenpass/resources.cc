// The password program's resources: its string table and its bitmaps (banners and picture buttons, whose pixels
// are artwork).
#include "forms.h"
#include "string_table.h"

const StringTable kStrings = {
    {101, kProgramTitle},
    {102, u"Error 15000: SetSystemCursor1 Error on"},
    {103, u"Error 15001: SetSystemCursor2 Error on"},
    {104, u"Key expired"},
    {105, u"Cannot find key value: session may have expired"},
    {106, u"Cannot find key"},
    {107, u"Cannot write key"},
    {108, u"Cannot create or open key"},
    {109, kFormCaption},
    {110, u"TYPE SELECTED PASSWORD"},
    {111, u"RE-TYPE SELECTED PASSWORD"},
    {112, u"Congratulations!"},
    {113, u"You have successfully assigned your password to your Tavik."},
    {114, u"Click 'FINISH' below to close this window."},
    {115, u"TYPE ORIGINAL PASSWORD"},
    {116, u"SELECTED PASSWORD"},
    {117, kIntroText},
    {118, kLengthHint},
    {119, u"Sorry, there was an error when attempting to assign your password to your Tavik.  Please re-try assigning "
          u"your password.  If \"Selvanor\" fails again, please contact your administrator for a new Tavik."},
    {120, u"Burning a password to a Tavik takes several seconds.  Please wait until the program returns."},
    {121, kChineseLengthHint},
};

const BitmapTable kBitmaps = {
    {101, "Back button"}, {103, "Tavik banner"}, {105, "Tavik token"}, {108, "Assign button"}, {109, "Lock"},
};
