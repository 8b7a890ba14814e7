// The challenge record's fields and how XML elements fill them.
#include <cstring>
#include <string_view>

#include "puzzle_object.h"
#include "tokenapi_private.h"

namespace tavik::tokenapi {
namespace {

constexpr int kMaxHashInputs = 10;
constexpr size_t kMaxHashNameLength = 14;
constexpr int kMaxHashValueLength = 49;

// A name the XML form can carry as an element of its own and read back as a hash input of the same name: a plain
// XML name, and none of the names the reader takes as the record's other fields.
bool IsHashInputName(const char* name) {
  const size_t length = strnlen(name, kMaxHashNameLength + 1);
  if (length == 0 || length > kMaxHashNameLength) return false;
  for (const char* field : {"PUZ", "KA", "PSSL", "PSS", "H"}) {
    if (std::strcmp(name, field) == 0) return false;
  }
  for (size_t i = 0; i < length; ++i) {
    const char c = name[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    const bool later = (c >= '0' && c <= '9') || c == '-' || c == '.';
    if (!letter && (i == 0 || !later)) return false;
  }
  return true;
}

}  // namespace
}  // namespace tavik::tokenapi

using namespace tavik::tokenapi;

PuzzleObject::PuzzleObject()
    : challenge_{}, aes_location_(-1), pss_location_(-1), pss_value_{}, hash_inputs_{}, hash_input_count_(0),
      inside_hash_(false) {}

PuzzleObject::~PuzzleObject() = default;

bool PuzzleObject::processOpenTag(const char* name) {
  if (std::strcmp(name, "H") == 0) inside_hash_ = true;
  return true;
}

bool PuzzleObject::processCloseTag(const char* name) {
  if (std::strcmp(name, "H") == 0) inside_hash_ = false;
  return true;
}

bool PuzzleObject::processElement(const char* name, const char* text) {
  const std::string_view tag(name);
  if (tag == "PUZ") return setChallenge(text);
  if (tag == "KA") return setAESLocation(LocationValue(text));
  if (tag == "PSSL") return setPSSLocation(LocationValue(text));
  if (tag == "PSS") return setPSSValue(text);
  if (inside_hash_) return addHashInput(text, static_cast<int>(std::strlen(text)), name);
  return true;
}

bool PuzzleObject::setChallenge(const char* challenge) {
  if (challenge == nullptr || !IsHexBlock(std::string_view(challenge, strnlen(challenge, kHexTextLength + 1)))) {
    return false;
  }
  std::memcpy(challenge_, challenge, kHexTextLength + 1);
  return true;
}

bool PuzzleObject::getChallenge(char* out) {
  if (out == nullptr) return false;
  std::memcpy(out, challenge_, sizeof(challenge_));
  return true;
}

bool PuzzleObject::setAESLocation(short location) {
  aes_location_ = location;
  return true;
}

bool PuzzleObject::getAESLocation(short* location) {
  if (location == nullptr) return false;
  *location = aes_location_;
  return true;
}

bool PuzzleObject::setPSSLocation(short location) {
  pss_location_ = location;
  return true;
}

bool PuzzleObject::getPSSLoc(short* location) {
  if (location == nullptr) return false;
  *location = pss_location_;
  return true;
}

bool PuzzleObject::setPSSValue(const char* value) {
  if (value == nullptr) return false;
  const std::string_view text(value, strnlen(value, kHexTextLength + 1));
  if (!text.empty() && !IsHexBlock(text)) return false;
  std::memset(pss_value_, 0, sizeof(pss_value_));
  std::memcpy(pss_value_, text.data(), text.size());
  return true;
}

bool PuzzleObject::getPSSValue(char* out) {
  if (out == nullptr) return false;
  std::memcpy(out, pss_value_, sizeof(pss_value_));
  return true;
}

bool PuzzleObject::addHashInput(const char* value, int length, const char* name) {
  if (hash_input_count_ >= kMaxHashInputs || name == nullptr || !IsHashInputName(name)) return false;
  if (length < 0 || length > kMaxHashValueLength || (value == nullptr && length > 0)) return false;
  if (length > 0 && (std::memchr(value, '\0', static_cast<size_t>(length)) != nullptr ||
                     !XmlCanCarry(std::string_view(value, static_cast<size_t>(length))))) {
    return false;
  }
  HashInput& input = hash_inputs_[hash_input_count_++];
  std::memset(&input, 0, sizeof(input));
  std::strcpy(input.name, name);
  if (length > 0) std::memcpy(input.value, value, static_cast<size_t>(length));
  return true;
}

bool PuzzleObject::getHashInput(char* out, int* length, int mode) {
  std::string joined;
  if (mode == 2 || mode == 3) {
    for (int i = 0; i < hash_input_count_; ++i) {
      joined += hash_inputs_[i].value;
      if (mode == 2) joined += ',';
    }
  }
  return PutText(joined, out, length);
}
