// Text helpers of the two records: hex fields, decimal fields, XML escaping, comma fields, and writing into
// buffers whose capacity the caller states.
#include <climits>
#include <cstring>

#include "tokenapi_private.h"

namespace tavik::tokenapi {

bool IsHexBlock(std::string_view text) {
  if (text.size() != kHexTextLength) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

long long DecimalValue(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) return -value;
  return value > INT_MAX ? INT_MAX : value;
}

short LocationValue(const char* text) {
  const long long value = DecimalValue(text);
  return value < SHRT_MIN || value > SHRT_MAX ? -1 : static_cast<short>(value);
}

bool XmlCanCarry(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') return false;
  }
  return true;
}

std::string EscapeXml(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\r':  // a raw one would read back as a line feed
        out += "&#13;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool PutText(const std::string& text, char* out, int* length) {
  if (length == nullptr) return false;
  if (out == nullptr || *length < 0 || text.size() + 1 > static_cast<size_t>(*length)) {
    *length = static_cast<int>(text.size() + 1);
    return false;
  }
  std::memcpy(out, text.c_str(), text.size() + 1);
  *length = static_cast<int>(text.size());
  return true;
}

bool AppendText(const std::string& text, char* out, int capacity, int* total_length) {
  if (out == nullptr || capacity <= 0) return false;
  const size_t existing = strnlen(out, static_cast<size_t>(capacity));
  if (existing == static_cast<size_t>(capacity) || existing + text.size() + 1 > static_cast<size_t>(capacity)) {
    return false;
  }
  std::memcpy(out + existing, text.c_str(), text.size() + 1);
  if (total_length != nullptr) *total_length = static_cast<int>(existing + text.size());
  return true;
}

std::vector<std::string> Fields(std::string_view text) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const size_t end = comma == std::string_view::npos ? text.size() : comma;
    if (end > start) fields.emplace_back(text.substr(start, end - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

}  // namespace tavik::tokenapi
