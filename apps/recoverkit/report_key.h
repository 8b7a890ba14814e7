// The key a decryption report holds: the line after the last line that says "Decryption Key" (a report copies a
// log that is appended across runs, so an earlier block may hold an older key).
#pragma once

#include <string>

namespace tavik::recoverkit {

enum class ReportKey {
  kRead,         // *key_line: 32 hex digits or more
  kNoReport,     // the report does not open
  kLineTooLong,  // the key line runs past the line buffer without a line end
  kEmpty,        // no key line, or an empty one
  kNotHex,       // *key_line: not hex digits only, or fewer than 32
};

// Reads the key line of `report`, its line end cut. *other_key_stamp: the time stamp ("%i-%i-%i %i:%i:%i") of the
// last key block whose key differs from that one, empty when every block holds the same key.
ReportKey ReadReportKey(const std::string& report, std::string* key_line, std::string* other_key_stamp);

// The CFK of a key line ReadReportKey gave as kRead: its first 32 digits.
void KeyLineToCfk(const std::string& key_line, unsigned char* cfk);

}  // namespace tavik::recoverkit
