// The response record's fields and how XML elements fill them. The failed-attempts value is one per process,
// shared by every response.
#include <cstring>
#include <string_view>

#include "response_object.h"
#include "tokenapi_private.h"

namespace tavik::tokenapi {

int failed_attempts = -1;

}  // namespace tavik::tokenapi

using namespace tavik::tokenapi;

ResponseObject::ResponseObject() : esn_(-9), answer_{}, pss_location_(-1) { failed_attempts = -1; }

ResponseObject::~ResponseObject() = default;

bool ResponseObject::processOpenTag(const char*) { return true; }

bool ResponseObject::processCloseTag(const char*) { return true; }

bool ResponseObject::processElement(const char* name, const char* text) {
  const std::string_view tag(name);
  if (tag == "E") return setEsn(text);
  if (tag == "P") return setFailedAttempts(static_cast<short>(DecimalValue(text)));
  if (tag == "A") return setAnswer(text, static_cast<int>(std::strlen(text)));
  if (tag == "L") return setPssLoc(static_cast<int>(DecimalValue(text)));
  return true;
}

bool ResponseObject::setESN(long esn) {
  if (esn < 10000000 || esn > 99999999) return false;
  esn_ = static_cast<int>(esn);
  return true;
}

bool ResponseObject::setEsn(const char* text) {
  const long long value = text == nullptr ? 0 : DecimalValue(text);
  esn_ = value == 0 ? -1 : static_cast<int>(value);
  return value != 0;
}

// Any text XML can carry, up to 32 characters.
bool ResponseObject::setAnswer(const char* text, int length) {
  if (text == nullptr || length < 0 || length > static_cast<int>(kHexTextLength)) return false;
  const std::string_view answer(text, strnlen(text, static_cast<size_t>(length)));
  if (!XmlCanCarry(answer)) return false;
  std::memset(answer_, 0, sizeof(answer_));
  std::memcpy(answer_, answer.data(), answer.size());
  return true;
}

bool ResponseObject::getAnswer(char* out) {
  if (out == nullptr) return false;
  std::memcpy(out, answer_, sizeof(answer_));
  return true;
}

bool ResponseObject::setFailedAttempts(int count) {
  failed_attempts = count;
  return true;
}

bool ResponseObject::setPssLoc(int location) {
  pss_location_ = location;
  return true;
}

bool ResponseObject::getPssLoc(int* location) {
  if (location == nullptr) return false;
  *location = pss_location_;
  return true;
}
