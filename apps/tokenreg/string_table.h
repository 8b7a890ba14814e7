// The registration program's string table (language 1033), loaded by number at the form's load.
#pragma once

inline constexpr char16_t kProgramTitle[] = u"Tavik Registration";

inline constexpr int kCaptionString = 101;
inline constexpr int kPasswordPromptString = 102;
inline constexpr int kSafeguardString = 103;
inline constexpr int kInsertString = 104;
inline constexpr int kNotInsertedString = 105;
inline constexpr int kEsnCaptionString = 106;
inline constexpr int kCaseString = 107;
inline constexpr int kRequiredString = 108;
inline constexpr int kRegisterNowString = 109;
inline constexpr int kBannerBitmap = 101;
