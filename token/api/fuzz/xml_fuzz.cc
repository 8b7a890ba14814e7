// Fuzzes the records' readers with arbitrary text: nothing may crash or overrun, and whatever a record took from
// its XML must come out as XML that reads back to the same record. The byte forms must read back byte for byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tokenapi.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

template <typename Record>
std::string Xml(Record& record) {
  char out[4096];
  int length = sizeof(out);
  Require(record.buildXML(out, &length));
  Require(length == static_cast<int>(std::strlen(out)));
  return out;
}

void PuzzleRoundTrip(const std::string& text) {
  PuzzleObject first;
  first.setXMLPuzzle(text.c_str(), static_cast<int>(text.size()));
  const std::string xml = Xml(first);
  PuzzleObject second;
  second.setXMLPuzzle(xml.c_str(), static_cast<int>(xml.size()));
  Require(Xml(second) == xml);

  char delimited[1024] = "";
  first.getDelimPuzzle(delimited, sizeof(delimited));
  PuzzleObject third;
  third.setDelimPuzzle(text.c_str(), 0);
}

void ResponseRoundTrip(const std::string& text) {
  ResponseObject first;
  first.setXMLResponse(text.c_str(), static_cast<int>(text.size()));
  const std::string xml = Xml(first);
  ResponseObject second;  // resets the shared failed-attempts value, which the XML carries
  second.setXMLResponse(xml.c_str(), static_cast<int>(xml.size()));
  Require(Xml(second) == xml);

  char delimited[1024] = "";
  int length = sizeof(delimited);
  first.getDelimResponse(delimited, &length);
  ResponseObject third;
  third.setDelimResponse(text.c_str(), static_cast<int>(text.size()));
}

void ByteForms(const uint8_t* data, size_t size) {
  if (size < 18) return;
  uint8_t out[18];
  PuzzleObject puzzle;
  Require(puzzle.setBytePuzzle(data, static_cast<int>(size)));
  Require(puzzle.getBytePuzzle(out, sizeof(out)));
  Require(std::memcmp(out, data, 18) == 0);
  ResponseObject response;
  Require(response.setByteResponse(data, static_cast<int>(size)));
  std::memcpy(out, data, sizeof(out));  // an unset PSS location leaves its byte as it was
  int length = sizeof(out);
  Require(response.getByteResponse(out, &length));
  Require(length == 18 && std::memcmp(out, data, 18) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  PuzzleRoundTrip(text);
  ResponseRoundTrip(text);
  ByteForms(data, size);
  return 0;
}
