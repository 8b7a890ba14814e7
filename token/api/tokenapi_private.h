// Declarations shared inside tokenapi, grouped by the file that defines them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavik::tokenapi {

// pin.cc: the last non-zero result of the token's password check in this process (0 before any).
int LastNonZeroCheckResult();

// identity.cc: the token's identity text: the identity area up to its first 0xFF or NUL, at most 63 characters.
// False when the token cannot be read.
bool ReadIdentityText(std::string* text);

// response_object.cc: the failed-attempts value that every response of the process shows.
extern int failed_attempts;

// record_text.cc: the texts of the records and the caller buffers they go into.
inline constexpr size_t kHexTextLength = 32;   // a 16-byte value as hex digits
inline constexpr size_t kByteFormSize = 18;    // both records' byte forms
// True for exactly 32 hex digits, either case.
bool IsHexBlock(std::string_view text);
// The C library's decimal conversion: leading blanks, a sign and the digits that follow; 0 when there are none.
// Values beyond the 32-bit range saturate instead of overflowing.
long long DecimalValue(const char* text);
// A 16-bit slot number (KA, PSSL) from decimal text; a value outside that range is -1 (unset) rather than
// wrapping onto some other slot.
short LocationValue(const char* text);
// True when an XML text can carry these bytes: no control characters but tab, line feed and carriage return.
bool XmlCanCarry(std::string_view text);
// & < > and carriage return as references, so that a value XML can carry reads back as the same text.
std::string EscapeXml(std::string_view text);
// Writes text and a NUL into out when *length (its capacity) allows, and its length into *length; otherwise
// false, out untouched, *length = the size needed.
bool PutText(const std::string& text, char* out, int* length);
// Appends text to the NUL-terminated text in out (capacity bytes in all); false, out untouched, when no NUL lies
// within the capacity or the result would not fit. *total_length: the length of the whole text.
bool AppendText(const std::string& text, char* out, int capacity, int* total_length);
// The C library's comma split: the non-empty fields of the text, in order.
std::vector<std::string> Fields(std::string_view text);

}  // namespace tavik::tokenapi
