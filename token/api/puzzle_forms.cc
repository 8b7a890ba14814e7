// The challenge record's three forms: XML, comma-delimited and 18 bytes (challenge, PSSL, KA).
#include <cstring>
#include <string>

#include "hex.h"
#include "puzzle_object.h"
#include "tokenapi_private.h"
#include "xml_reading.h"

using namespace tavik::tokenapi;

bool PuzzleObject::setXMLPuzzle(const char* text, int length) {
  RecordEventsOf<PuzzleObject> events(*this);
  ReadRecordXml(text, length, events);
  return true;
}

bool PuzzleObject::buildXML(char* out, int* length) {
  std::string xml = "<C><PUZ>" + std::string(challenge_) + "</PUZ><KA>" + std::to_string(aes_location_) +
                    "</KA><PSSL>" + std::to_string(pss_location_) + "</PSSL><PSS>" + pss_value_ + "</PSS>";
  if (hash_input_count_ > 0) {
    xml += "<H>";
    for (int i = 0; i < hash_input_count_; ++i) {
      const std::string name = hash_inputs_[i].name;
      xml += "<" + name + ">" + EscapeXml(hash_inputs_[i].value) + "</" + name + ">";
    }
    xml += "</H>";
  }
  xml += "</C>";
  return PutText(xml, out, length);
}

bool PuzzleObject::getXMLPuzzle(char* out, int* length) { return buildXML(out, length); }

bool PuzzleObject::setDelimPuzzle(const char* text, int) {
  if (text == nullptr) return false;
  const std::vector<std::string> fields = Fields(text);
  if (fields.empty() || !setChallenge(fields[0].c_str())) return false;
  if (fields.size() > 1) aes_location_ = LocationValue(fields[1].c_str());
  if (fields.size() > 2) pss_location_ = LocationValue(fields[2].c_str());
  return true;
}

bool PuzzleObject::getDelimPuzzle(char* out, int capacity) {
  std::string text = challenge_;
  if (aes_location_ != -1) text += "," + std::to_string(aes_location_);
  if (pss_location_ != -1) text += "," + std::to_string(pss_location_);
  if (hash_input_count_ > 0) {
    text += ",";
    for (int i = 0; i < hash_input_count_; ++i) text += std::string(hash_inputs_[i].value) + ",";
  }
  return AppendText(text, out, capacity, nullptr);
}

bool PuzzleObject::setBytePuzzle(const unsigned char* bytes, int length) {
  if (bytes == nullptr || length < static_cast<int>(kByteFormSize)) return false;
  tavik::hex::Encode(bytes, 16, challenge_, /*upper=*/false);
  challenge_[kHexTextLength] = '\0';
  pss_location_ = static_cast<signed char>(bytes[16]);
  aes_location_ = static_cast<signed char>(bytes[17]);
  return true;
}

bool PuzzleObject::getBytePuzzle(unsigned char* out, int capacity) {
  if (out == nullptr || capacity < static_cast<int>(kByteFormSize)) return false;
  if (!tavik::hex::DecodeStrict(challenge_, out, 16)) return false;
  out[16] = static_cast<unsigned char>(pss_location_ & 0xFF);
  out[17] = static_cast<unsigned char>(aes_location_ & 0xFF);
  return true;
}
