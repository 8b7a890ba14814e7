// The length rules of a new password on the assignment forms: 6 to 63 characters, and an ANSI form that fits the
// token's password block (63 bytes) in every code page.
#pragma once

#include <optional>
#include <string>

#include "windows.h"

struct Refusal {
  std::u16string text;
  UINT style;
};

// Why `password` cannot be assigned, or nullopt when it can.
std::optional<Refusal> AssignmentLengthRefusal(const std::u16string& password);

// The message for a password whose ANSI form is too long in the Chinese locale.
inline constexpr char16_t kChineseTooLong[] =
    u"The password you typed is too long. Type a password with at most 31 Chinese or 62 English characters.";
inline constexpr char16_t kMoreThan63[] =
    u"The password you typed is more than 63 characters.  Type a password with at most 63 characters.";
inline constexpr size_t kPasswordBlockBytes = 63;
