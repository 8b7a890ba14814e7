// The challenge record ("puzzle") sent to a token holder, in its XML, comma-delimited and 18-byte forms.
// Exported by tokenapi as a C++ class; every operation returns whether it worked.
#pragma once

class PuzzleObject {
 public:
  PuzzleObject();
  // Element callbacks of the XML reader: an opening tag, the text of the current element, a closing tag.
  virtual bool processOpenTag(const char* name);
  virtual bool processElement(const char* name, const char* text);
  virtual bool processCloseTag(const char* name);
  virtual ~PuzzleObject();

  // Reads the first `length` bytes of text (up to a NUL); true whatever the text held.
  bool setXMLPuzzle(const char* text, int length);
  // *length: the capacity of out in, the text's length out. When the text and its NUL do not fit, false with
  // *length = the size needed.
  bool getXMLPuzzle(char* out, int* length);
  bool buildXML(char* out, int* length);
  // Challenge, KA and PSSL, split at ','; hash inputs are not read back. The second argument is not read.
  bool setDelimPuzzle(const char* text, int unused);
  // Appends to the NUL-terminated text already in out, whose capacity in bytes is `capacity`.
  bool getDelimPuzzle(char* out, int capacity);
  bool setBytePuzzle(const unsigned char* bytes, int length);
  bool getBytePuzzle(unsigned char* out, int capacity);

  // The challenge and the PSS value are 32 hex digits; an empty PSS value means none. Buffers of 33 bytes.
  bool setChallenge(const char* challenge);
  bool getChallenge(char* out);
  bool setAESLocation(short location);
  bool getAESLocation(short* location);
  bool setPSSLocation(short location);
  bool getPSSLoc(short* location);
  bool setPSSValue(const char* value);
  bool getPSSValue(char* out);
  // At most 10 inputs, in arrival order: a name of 1 to 14 characters that is a plain XML name other than the
  // record's own element names, and a value of at most 49 characters that XML can carry.
  bool addHashInput(const char* value, int length, const char* name);
  // Mode 2: every value followed by ","; mode 3: the values joined; other modes: empty. *length as above.
  bool getHashInput(char* out, int* length, int mode);

 private:
  struct HashInput {
    char name[15];
    char value[50];
  };

  char challenge_[33];
  short aes_location_;  // KA, 1-based; -1 unset
  short pss_location_;  // PSSL; -1 unset
  char pss_value_[33];
  HashInput hash_inputs_[10];
  int hash_input_count_;
  bool inside_hash_;
};
