// The system's one hex codec: two digits per byte, high nibble first. Writers choose the letter case; every
// reader accepts both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavik::hex {

// The nibble a digit (0-9, a-f, A-F) stands for, or -1 when c is not a hex digit.
int DigitValue(char c);

// Writes exactly 2n digits to out; no terminator.
void Encode(const uint8_t* bytes, size_t n, char* out, bool upper);

// Fills n bytes from up to 2n characters of text. Reading stops at the first NUL; a non-hex character or a digit
// missing after the NUL counts as nibble 0. Never fails.
void DecodeLenient(const char* text, uint8_t* out, size_t n);

// Fills n bytes from text of exactly 2n hex digits. Returns false, leaving out untouched, on any other length or
// any non-hex character.
bool DecodeStrict(std::string_view text, uint8_t* out, size_t n);

}  // namespace tavik::hex
