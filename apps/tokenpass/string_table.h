// The password program's string table (language 1033) and the texts its forms show by design; the forms load
// strings 109, 111, 116, 117, 118 and 121 by number.
#pragma once

inline constexpr char16_t kProgramTitle[] = u"Selvanor";
inline constexpr char16_t kFormCaption[] = u"Quillmarsh Tavik Selvanor";
inline constexpr char16_t kIntroText[] =
    u"Please select a password that you would like to assign to your Tavik.  Please also be sure that your Tavik is "
    u"inserted into your computer's USB port.";
inline constexpr char16_t kLengthHint[] =
    u"The password can be between 6 and 63 characters in length and can include upper and lowercase letters, "
    u"numbers, and symbols. We strongly recommend that you do not use simple words or something that others may "
    u"guess easily. You can also create a unique pass phrase to lengthen the password for strength and as something "
    u"that is easier to remember.";
inline constexpr char16_t kChineseLengthHint[] =
    u"The password can be between 6 and 31 Chinese characters or 6 and 62 English characters in length and can "
    u"include upper and lowercase letters, numbers, and symbols. We strongly recommend that you do not use simple "
    u"words or something that others may guess easily. You can also create a unique pass phrase to lengthen the "
    u"password for strength and as something that is easier to remember.";

// The numbers the forms load.
inline constexpr int kCaptionString = 109;
inline constexpr int kRetypeString = 111;
inline constexpr int kSelectedString = 116;
inline constexpr int kIntroString = 117;
inline constexpr int kLengthHintString = 118;
inline constexpr int kChineseLengthHintString = 121;
