// The registration program's resources: its string table and its banner.
#include "forms.h"
#include "string_table.h"

const StringTable kStrings = {
    {101, kProgramTitle},
    {102, u"Tavik password :"},
    {103, u"Registration is the ONLY safeguard you have against being permanently locked-out of your computer if you "
          u"lose your Tavik, or if you forget your password."},
    {104, u"Insert your Tavik in the USB port, and verify that you have a connection to the internet."},
    {105, u"(Tavik not inserted)"},
    {106, u"The ESN for this Tavik is:"},
    {107, u"(The password is case sensitive.)"},
    {108, u"Registration is REQUIRED in the event that you ever need to use the Tavik or Password Recovery Process."},
    {109, u"Register NOW to protect yourself against a lost Tavik or password. Registration is free, safe, and secure."},
};

const BitmapTable kBitmaps = {{101, "Tavik Registration banner"}};
