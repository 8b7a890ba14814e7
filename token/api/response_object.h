// The token's answer to a challenge ("response"), in its XML, comma-delimited and 18-byte forms.
// Exported by tokenapi as a C++ class; every operation returns whether it worked.
#pragma once

#include <string>

class ResponseObject {
 public:
  // Also sets the failed-attempts value, which all responses of the process share, to -1.
  ResponseObject();
  // Element callbacks of the XML reader: an opening tag, the text of the current element, a closing tag.
  virtual bool processOpenTag(const char* name);
  virtual bool processElement(const char* name, const char* text);
  virtual bool processCloseTag(const char* name);
  virtual ~ResponseObject();

  // Reads the first `length` bytes of text (up to a NUL) and keeps a copy; true whatever the text held.
  bool setXMLResponse(const char* text, int length);
  // *length: the capacity of out in, the text's length out. When the text and its NUL do not fit, false with
  // *length = the size needed.
  bool getXMLResponse(char* out, int* length);
  bool buildXML(char* out, int* length);
  // Answer, ESN and failed attempts, split at ','; reads at most `length` bytes of text.
  bool setDelimResponse(const char* text, int length);
  // Appends to the NUL-terminated text already in out (capacity *length). Without out: true, with *length = the
  // size the text needs.
  bool getDelimResponse(char* out, int* length);
  bool setByteResponse(const unsigned char* bytes, int length);
  // 18 bytes; *length: the capacity in, 18 out.
  bool getByteResponse(unsigned char* out, int* length);

  bool setESN(long esn);  // 10000000 to 99999999
  bool setEsn(const char* text);  // any decimal value but 0
  bool setAnswer(const char* text, int length);  // at most 32 characters XML can carry
  bool getAnswer(char* out);  // 33 bytes
  bool setFailedAttempts(int count);
  bool setPssLoc(int location);
  bool getPssLoc(int* location);

 private:
  int esn_;  // -9 until set, -1 after a refused text
  char answer_[33];
  int pss_location_;  // -1 unset
  std::string last_xml_;
};
