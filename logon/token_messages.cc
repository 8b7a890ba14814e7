// The answers to a check of the token and its password, the same in every dialog that checks them.
#include "logongate_private.h"

namespace tavik::logongate {

const char kNotInserted[] = "Tavik is not Inserted. Please Insert your Tavik.";
const char kInvalidPassword[] =
    "You have entered an invalid password for the Tavik. Tavik password is case-sensitive.";
const char kExceededAttempts[] =
    "You have exceeded maximum password attempts for the Tavik. Please Re-instert the Tavik to try again.";
const char kReadTavikFailed[] =
    "Read Tavik data failed. Please make sure your Tavik is properly inserted.\r\n\r\nIf this error persists, your "
    "Tavik may get corrupted and you need to\r\nlog in with Key Answer, which can be obtained by going to "
    "Quillmarsh\r\nTavik support web site if you have done registration in advance.";

}  // namespace tavik::logongate
