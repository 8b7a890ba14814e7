// The response record's three forms: XML, comma-delimited and 18 bytes (answer, PSS location, failed attempts).
#include <cstring>
#include <string>

#include "hex.h"
#include "response_object.h"
#include "tokenapi_private.h"
#include "xml_reading.h"

using namespace tavik::tokenapi;

bool ResponseObject::setXMLResponse(const char* text, int length) {
  if (text != nullptr && length > 0) last_xml_.assign(text, strnlen(text, static_cast<size_t>(length)));
  RecordEventsOf<ResponseObject> events(*this);
  ReadRecordXml(text, length, events);
  return true;
}

bool ResponseObject::buildXML(char* out, int* length) {
  std::string xml = "<R><E>" + std::to_string(esn_) + "</E><P>" + std::to_string(failed_attempts) + "</P><A>" +
                    EscapeXml(answer_) + "</A>";
  if (pss_location_ != -1) xml += "<L>" + std::to_string(pss_location_) + "</L>";
  xml += "</R>";
  return PutText(xml, out, length);
}

bool ResponseObject::getXMLResponse(char* out, int* length) { return buildXML(out, length); }

bool ResponseObject::setDelimResponse(const char* text, int length) {
  if (text == nullptr || length <= 0) return false;
  const std::vector<std::string> fields = Fields(std::string_view(text, strnlen(text, static_cast<size_t>(length))));
  if (fields.empty() || !setAnswer(fields[0].c_str(), static_cast<int>(fields[0].size()))) return false;
  if (fields.size() > 1) setEsn(fields[1].c_str());
  if (fields.size() > 2) failed_attempts = static_cast<int>(DecimalValue(fields[2].c_str()));
  return true;
}

bool ResponseObject::getDelimResponse(char* out, int* length) {
  if (length == nullptr) return false;
  std::string text = answer_;
  if (esn_ > 0) text += "," + std::to_string(esn_);
  if (failed_attempts >= 0) text += "," + std::to_string(failed_attempts);
  if (pss_location_ > 0) text += "," + std::to_string(pss_location_);
  if (out == nullptr) {
    *length = static_cast<int>(text.size() + 1);
    return true;
  }
  return AppendText(text, out, *length, length);
}

bool ResponseObject::setByteResponse(const unsigned char* bytes, int length) {
  if (bytes == nullptr || length < static_cast<int>(kByteFormSize)) return false;
  tavik::hex::Encode(bytes, 16, answer_, /*upper=*/false);
  answer_[kHexTextLength] = '\0';
  pss_location_ = static_cast<signed char>(bytes[16]);
  failed_attempts = static_cast<signed char>(bytes[17]);
  return true;
}

bool ResponseObject::getByteResponse(unsigned char* out, int* length) {
  if (out == nullptr || length == nullptr) return false;
  if (*length < static_cast<int>(kByteFormSize)) {
    *length = static_cast<int>(kByteFormSize);
    return false;
  }
  if (!tavik::hex::DecodeStrict(answer_, out, 16)) return false;
  if (pss_location_ != -1) out[16] = static_cast<unsigned char>(pss_location_ & 0xFF);
  out[17] = static_cast<unsigned char>(failed_attempts & 0xFF);
  *length = static_cast<int>(kByteFormSize);
  return true;
}
