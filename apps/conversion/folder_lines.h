// The folder lists the user and the install keep (_MRVMYEFL, MRVEFLST): one "X:\folder" per line. A line is cut at
// its line feed, a carriage return before it and trailing blanks; empty lines are skipped; a bad line has a message.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace tavik::conversion {

class FolderLineReader {
 public:
  // `longest`: the longest line kept, line end not counted (the Windows path limit by default); a longer one is
  // "too long".
  explicit FolderLineReader(std::FILE* file, size_t longest = 260) : file_(file), longest_(longest) {}
  // The next folder into *folder: true; false at the end of the list or at a bad line, whose message then is
  // error() (nullptr at the end).
  bool Next(std::string* folder);
  const char* error() const { return error_; }

 private:
  std::FILE* file_;
  size_t longest_;
  const char* error_ = nullptr;
};

}  // namespace tavik::conversion
