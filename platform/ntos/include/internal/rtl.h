// Run-time helpers shared inside the kernel model: UTF-16 text, case folding, and counted strings.
#pragma once

#include <string>
#include <string_view>

#include "ddk/wdm.h"

namespace xp::ntos::rtl {

char16_t Upcase(char16_t c);
std::u16string Upcase(std::u16string_view text);
bool EqualNoCase(std::u16string_view a, std::u16string_view b);
std::u16string_view View(const UNICODE_STRING* s);
std::u16string_view View(const UNICODE_STRING& s);
// A UNICODE_STRING over `text` (which must outlive it).
UNICODE_STRING Counted(const std::u16string& text);
std::string ToUtf8(std::u16string_view text);
// Invalid UTF-8 fails (false); host names that are not UTF-8 are not visible to the model.
bool FromUtf8(std::string_view text, std::u16string* out);
std::u16string FromUtf8(std::string_view text);

}  // namespace xp::ntos::rtl
