// The counted-string routines drivers call.
#include <algorithm>
#include <cstring>

#include "include/internal/rtl.h"

using xp::ntos::rtl::Upcase;
using xp::ntos::rtl::View;

extern "C" {

// Exported by the kernel model.
void RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source) {
  destination->Buffer = const_cast<PWSTR>(source);
  if (source == nullptr) {
    destination->Length = destination->MaximumLength = 0;
    return;
  }
  size_t length = 0;
  while (source[length] != 0) ++length;
  destination->Length = static_cast<USHORT>(length * sizeof(WCHAR));
  destination->MaximumLength = static_cast<USHORT>(destination->Length + sizeof(WCHAR));
}

void RtlCopyUnicodeString(PUNICODE_STRING destination, PCUNICODE_STRING source) {
  if (source == nullptr) {
    destination->Length = 0;
    return;
  }
  const USHORT bytes = std::min(source->Length, destination->MaximumLength);
  if (bytes != 0) std::memmove(destination->Buffer, source->Buffer, bytes);
  destination->Length = bytes;
  if (bytes + sizeof(WCHAR) <= destination->MaximumLength) destination->Buffer[bytes / sizeof(WCHAR)] = 0;
}

NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING destination, PCUNICODE_STRING source) {
  if (source->Length == 0) return STATUS_SUCCESS;
  if (destination->Length + source->Length > destination->MaximumLength) return STATUS_BUFFER_TOO_SMALL;
  std::memmove(reinterpret_cast<char*>(destination->Buffer) + destination->Length, source->Buffer, source->Length);
  destination->Length = static_cast<USHORT>(destination->Length + source->Length);
  if (destination->Length + sizeof(WCHAR) <= destination->MaximumLength) {
    destination->Buffer[destination->Length / sizeof(WCHAR)] = 0;
  }
  return STATUS_SUCCESS;
}

NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING destination, PCWSTR source) {
  UNICODE_STRING counted;
  RtlInitUnicodeString(&counted, source);
  return RtlAppendUnicodeStringToString(destination, &counted);
}

LONG RtlCompareUnicodeString(PCUNICODE_STRING string1, PCUNICODE_STRING string2, BOOLEAN case_insensitive) {
  const std::u16string_view a = View(string1);
  const std::u16string_view b = View(string2);
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const char16_t x = case_insensitive ? Upcase(a[i]) : a[i];
    const char16_t y = case_insensitive ? Upcase(b[i]) : b[i];
    if (x != y) return static_cast<LONG>(x) - static_cast<LONG>(y);
  }
  return static_cast<LONG>(a.size()) - static_cast<LONG>(b.size());
}

BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING string1, PCUNICODE_STRING string2, BOOLEAN case_insensitive) {
  return string1->Length == string2->Length && RtlCompareUnicodeString(string1, string2, case_insensitive) == 0;
}

BOOLEAN RtlPrefixUnicodeString(PCUNICODE_STRING prefix, PCUNICODE_STRING string, BOOLEAN case_insensitive) {
  if (prefix->Length > string->Length) return FALSE;
  UNICODE_STRING head = *string;
  head.Length = prefix->Length;
  return RtlCompareUnicodeString(prefix, &head, case_insensitive) == 0;
}

WCHAR RtlUpcaseUnicodeChar(WCHAR source) { return Upcase(source); }

NTSTATUS RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING string) {
  if (base == 0) base = 10;
  if (base != 2 && base != 8 && base != 10 && base != 16) return STATUS_INVALID_PARAMETER;
  char16_t digits[33];
  int count = 0;
  do {
    const ULONG digit = value % base;
    digits[count++] = static_cast<char16_t>(digit < 10 ? u'0' + digit : u'A' + digit - 10);
    value /= base;
  } while (value != 0);
  if (static_cast<size_t>(count) * sizeof(WCHAR) > string->MaximumLength) return STATUS_BUFFER_OVERFLOW;
  for (int i = 0; i < count; ++i) string->Buffer[i] = digits[count - 1 - i];
  string->Length = static_cast<USHORT>(count * sizeof(WCHAR));
  if (string->Length + sizeof(WCHAR) <= string->MaximumLength) string->Buffer[count] = 0;
  return STATUS_SUCCESS;
}

SIZE_T RtlCompareMemory(const void* source1, const void* source2, SIZE_T length) {
  const auto* a = static_cast<const unsigned char*>(source1);
  const auto* b = static_cast<const unsigned char*>(source2);
  SIZE_T i = 0;
  while (i < length && a[i] == b[i]) ++i;
  return i;
}

}  // extern "C"
