// Text in a code page other than 1252, converted through the C library's iconv (code_page.cc).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xp::registry {

// Bytes that are no character of the code page, and characters it lacks, become '?', as the system's own
// conversion without flags does.
std::u16string MultiByteToUtf16(uint32_t code_page, std::string_view bytes);
std::string Utf16ToMultiByte(uint32_t code_page, std::u16string_view text);

}  // namespace xp::registry
